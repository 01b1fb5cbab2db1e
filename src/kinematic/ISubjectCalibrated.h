// A calibrated subject: a skeleton of segments and joints, the targets it carries, its
// skeleton parameters and its current pose.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/IJointCalibrated.h"
#include "kinematic/ISegmentCalibrated.h"
#include "kinematic/ISkeletonParameters.h"
#include "kinematic/ITargetCalibrated.h"
#include "params/IString.h"

#include <cstdint>

/// One calibrated subject. It owns its segments, joints, targets and skeleton
/// parameters: the pointers it returns stay valid as long as the subject, and callers
/// never release them. Owned by whoever created it, or by a subject set
/// (ISubjectSetCalibrated), and released with Destroy(). Not thread-safe: one caller at
/// a time. Names compare exactly.
/// The pose vector is the current values of every joint's degrees of freedom, joints in
/// index order.
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API ISubjectCalibrated
{
protected:
    virtual ~ISubjectCalibrated();

public:
    /// Releases the object and everything it owns; it must not be used afterwards.
    virtual void Destroy() = 0;
    /// Copies the subject's name into `name`.
    virtual void Name(IString& name) const = 0;
    /// Renames the subject.
    virtual void SetName(const IString& name) = 0;
    /// Number of segments.
    virtual std::uint32_t SegmentCount() const = 0;
    /// Segment `index`; null when out of range.
    virtual ISegmentCalibrated* Segment(std::uint32_t index) = 0;
    /// The segment named `name`; null when none.
    virtual ISegmentCalibrated* FindSegment(const char* name) = 0;
    /// Id of the root segment; Arbor::NoId when the subject has no segments.
    virtual std::uint32_t RootSegmentId() const = 0;
    /// Number of joints.
    virtual std::uint32_t JointCount() const = 0;
    /// Joint `index`; null when out of range.
    virtual IJointCalibrated* Joint(std::uint32_t index) = 0;
    /// The joint named `name`; null when none.
    virtual IJointCalibrated* FindJoint(const char* name) = 0;
    /// Number of targets.
    virtual std::uint32_t TargetCount() const = 0;
    /// Target `index`; null when out of range.
    virtual ITargetCalibrated* Target(std::uint32_t index) = 0;
    /// The target named `name`; null when none.
    virtual ITargetCalibrated* FindTarget(const char* name) = 0;
    /// The skeleton parameters; never null.
    virtual ISkeletonParameters* Parameters() = 0;
    /// True once calibration has set the skeleton parameters and offsets.
    virtual bool IsCalibrated() const = 0;
    /// Marks the subject calibrated or not.
    virtual void SetCalibrated(bool calibrated) = 0;
    /// Total mass in kilograms; 0 when unknown.
    virtual double Mass() const = 0;
    /// Sets the total mass in kilograms.
    virtual void SetMass(double mass) = 0;
    /// Standing height in millimetres; 0 when unknown.
    virtual double Height() const = 0;
    /// Sets the standing height in millimetres.
    virtual void SetHeight(double height) = 0;
    /// Writes the global pose of the root segment; false when it is not valid.
    virtual bool RootPose(double pose[Arbor::PoseSize]) const = 0;
    /// Sets the global pose of the root segment; false when refused.
    virtual bool SetRootPose(const double pose[Arbor::PoseSize]) = 0;
    /// Recomputes every segment's global pose from the root pose and the joint values;
    /// false when the root pose is not valid.
    virtual bool UpdateGlobalPoses() = 0;
    /// Sets every joint value from a pose vector of `count` values; false when `count`
    /// != PoseValueCount().
    virtual bool ApplyPose(const double* values, std::uint32_t count) = 0;
    /// Length of the pose vector: the sum of the joints' degrees of freedom.
    virtual std::uint32_t PoseValueCount() const = 0;
    /// Writes the current pose vector; false when `count` != PoseValueCount().
    virtual bool CurrentPose(double* values, std::uint32_t count) const = 0;

protected:
    ISubjectCalibrated();
    ISubjectCalibrated(const ISubjectCalibrated& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    ISubjectCalibrated& operator=(const ISubjectCalibrated& other);
};
