// A calibrated joint: the degrees of freedom that connect a child segment to its
// parent, with their axes, limits and current values.
#pragma once

#include "kinematic/ArborTypes.h"
#include "params/IString.h"

#include <cstdint>

/// One joint of a calibrated subject, between a parent and a child segment, with up to
/// six degrees of freedom (rotations in radians, translations in millimetres). Owned by
/// its subject (ISubjectCalibrated), which releases it with Destroy(). Not thread-safe:
/// one caller at a time. Poses are Arbor::PoseSize doubles.
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API IJointCalibrated
{
protected:
    virtual ~IJointCalibrated();

public:
    /// Releases the object; it must not be used afterwards.
    virtual void Destroy() = 0;
    /// Copies the joint's name into `name`.
    virtual void Name(IString& name) const = 0;
    /// The joint's id within its subject.
    virtual std::uint32_t JointId() const = 0;
    /// Id of the parent segment.
    virtual std::uint32_t ParentSegmentId() const = 0;
    /// Id of the child segment.
    virtual std::uint32_t ChildSegmentId() const = 0;
    /// Number of degrees of freedom, 0 to 6.
    virtual std::uint32_t DegreesOfFreedom() const = 0;
    /// Copies the name of degree of freedom `index` into `name`; false when out of range.
    virtual bool DegreeOfFreedomName(std::uint32_t index, IString& name) const = 0;
    /// True when degree of freedom `index` is a translation (false: a rotation, or out
    /// of range).
    virtual bool IsTranslational(std::uint32_t index) const = 0;
    /// Writes the unit axis of degree of freedom `index` in the parent offset frame;
    /// false when out of range.
    virtual bool Axis(std::uint32_t index, double axis[3]) const = 0;
    /// Reads the limits of degree of freedom `index`; false when out of range.
    virtual bool Limits(std::uint32_t index, double& lower, double& upper) const = 0;
    /// Sets the limits of degree of freedom `index`; false when out of range or when
    /// `lower` > `upper`.
    virtual bool SetLimits(std::uint32_t index, double lower, double upper) = 0;
    /// Reads the current value of degree of freedom `index`; false when out of range.
    virtual bool Value(std::uint32_t index, double& value) const = 0;
    /// Sets the current value of degree of freedom `index`; false when out of range.
    virtual bool SetValue(std::uint32_t index, double value) = 0;
    /// Writes all `count` current values; false when `count` != DegreesOfFreedom().
    virtual bool Values(double* values, std::uint32_t count) const = 0;
    /// Sets all `count` current values; false when `count` != DegreesOfFreedom().
    virtual bool SetValues(const double* values, std::uint32_t count) = 0;
    /// Sets every value to its calibrated rest value.
    virtual void ResetValues() = 0;
    /// Writes the pose of the joint centre in the parent segment's frame.
    virtual bool ParentOffset(double pose[Arbor::PoseSize]) const = 0;
    /// Sets the pose of the joint centre in the parent segment's frame.
    virtual bool SetParentOffset(const double pose[Arbor::PoseSize]) = 0;
    /// Writes the pose of the child segment's frame relative to the joint centre.
    virtual bool ChildOffset(double pose[Arbor::PoseSize]) const = 0;
    /// Sets the pose of the child segment's frame relative to the joint centre.
    virtual bool SetChildOffset(const double pose[Arbor::PoseSize]) = 0;
    /// Reads the stiffness of degree of freedom `index`; false when out of range.
    virtual bool Stiffness(std::uint32_t index, double& stiffness) const = 0;
    /// Sets the stiffness of degree of freedom `index`; false when out of range.
    virtual bool SetStiffness(std::uint32_t index, double stiffness) = 0;
    /// Writes the child's pose relative to the parent for the current values.
    virtual bool Transform(double pose[Arbor::PoseSize]) const = 0;
    /// True when every current value lies within its limits.
    virtual bool IsWithinLimits() const = 0;

protected:
    IJointCalibrated();
    IJointCalibrated(const IJointCalibrated& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    IJointCalibrated& operator=(const IJointCalibrated& other);
};
