// A calibrated body segment: its place in the skeleton, its physical properties and
// its current pose.
#pragma once

#include "kinematic/ArborTypes.h"
#include "params/IString.h"

#include <cstdint>

/// One rigid segment of a calibrated subject. Owned by its subject
/// (ISubjectCalibrated), which releases it with Destroy(). Not thread-safe: one caller
/// at a time. Poses are Arbor::PoseSize doubles.
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API ISegmentCalibrated
{
protected:
    virtual ~ISegmentCalibrated();

public:
    /// Releases the object; it must not be used afterwards.
    virtual void Destroy() = 0;
    /// Copies the segment's name into `name`.
    virtual void Name(IString& name) const = 0;
    /// The segment's id within its subject.
    virtual std::uint32_t SegmentId() const = 0;
    /// Id of the parent segment; Arbor::NoId for the root.
    virtual std::uint32_t ParentId() const = 0;
    /// Number of child segments.
    virtual std::uint32_t ChildCount() const = 0;
    /// Id of child `index`; Arbor::NoId when out of range.
    virtual std::uint32_t ChildId(std::uint32_t index) const = 0;
    /// Number of targets the segment carries.
    virtual std::uint32_t TargetCount() const = 0;
    /// Target id of carried target `index`; Arbor::NoId when out of range.
    virtual std::uint32_t TargetId(std::uint32_t index) const = 0;
    /// Length in millimetres.
    virtual double Length() const = 0;
    /// Mass in kilograms; 0 when unknown.
    virtual double Mass() const = 0;
    /// Writes the centre of mass in the segment's frame.
    virtual void CentreOfMass(double position[Arbor::PositionSize]) const = 0;
    /// Writes the inertia tensor about the centre of mass (3x3, row-major, kg mm^2).
    virtual void Inertia(double tensor[9]) const = 0;
    /// Writes the calibrated pose relative to the parent; false when not calibrated.
    virtual bool LocalPose(double pose[Arbor::PoseSize]) const = 0;
    /// Writes the current global pose; false when it is not valid.
    virtual bool GlobalPose(double pose[Arbor::PoseSize]) const = 0;
    /// Sets the current global pose and makes it valid; false when refused.
    virtual bool SetGlobalPose(const double pose[Arbor::PoseSize]) = 0;
    /// True while the current global pose is valid.
    virtual bool IsPoseValid() const = 0;
    /// Makes the current global pose invalid.
    virtual void Invalidate() = 0;

protected:
    ISegmentCalibrated();
    ISegmentCalibrated(const ISegmentCalibrated& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    ISegmentCalibrated& operator=(const ISegmentCalibrated& other);
};
