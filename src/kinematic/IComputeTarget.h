// A target computation: derives the position of one target (its companion) from
// other targets, for example a virtual target or a gap filler.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/ITargetCalibrated.h"
#include "params/IString.h"

#include <cstdint>

/// Computes the position of one calibrated target, the companion returned by Target(),
/// from a set of input targets and optional numeric parameters. Implemented by the
/// programs that use Arbor and registered with IComputeTargetFactory, which takes
/// ownership and releases it with Destroy().
/// The registry calls InputCount, Compute and Target under its own lock; an
/// implementation may call back into the registries from them (their locks are
/// recursive), but must not wait there for another thread that uses a registry.
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API IComputeTarget
{
public:
    virtual ~IComputeTarget();

    /// Number of input targets the computation reads.
    virtual std::uint32_t InputCount() const = 0;
    /// Computes the position of `target` from the inputs and stores it there with
    /// SetPosition (or marks it occluded). True when a position was computed.
    virtual bool Compute(ITargetCalibrated& target) = 0;
    /// Copies the name of input `index` into `name`; false when `index` >= InputCount().
    virtual bool InputName(std::uint32_t index, IString& name) const = 0;
    /// Target id of input `index`; Arbor::NoId when unknown or out of range.
    virtual std::uint32_t InputId(std::uint32_t index) const = 0;
    /// Binds input `index` to a target id; false when `index` is out of range.
    virtual bool SetInputId(std::uint32_t index, std::uint32_t targetId) = 0;
    /// The companion: the target this computation produces. Owned by the computation,
    /// valid as long as it is; null when it has none (registration then fails).
    virtual ITargetCalibrated* Target() const = 0;
    /// Copies the name of the method (for example "Midpoint") into `name`.
    virtual void Name(IString& name) const = 0;
    /// Supplies the current position of input `index`; false when out of range.
    virtual bool SetInputPosition(std::uint32_t index,
                                  const double position[Arbor::PositionSize]) = 0;
    /// Writes the last supplied position of input `index`; false when out of range or
    /// when none was supplied since the last ClearInputs.
    virtual bool InputPosition(std::uint32_t index, double position[Arbor::PositionSize]) const = 0;
    /// Forgets every supplied input position.
    virtual void ClearInputs() = 0;
    /// True when enough inputs are present for Compute to succeed.
    virtual bool IsComputable() const = 0;
    /// Number of numeric parameters of the method.
    virtual std::uint32_t ParameterCount() const = 0;
    /// Copies the name of parameter `index` into `name`; false when out of range.
    virtual bool ParameterName(std::uint32_t index, IString& name) const = 0;
    /// Reads parameter `index`; false when out of range.
    virtual bool Parameter(std::uint32_t index, double& value) const = 0;
    /// Sets parameter `index`; false when out of range or refused.
    virtual bool SetParameter(std::uint32_t index, double value) = 0;
    /// Writes the position produced by the last successful Compute; false when none.
    virtual bool Result(double position[Arbor::PositionSize]) const = 0;
    /// Confidence of the last result, 0 (none) to 1.
    virtual double Confidence() const = 0;
    /// Supplies the pose (Arbor::PoseSize doubles) of the segment the result is relative
    /// to; false when refused.
    virtual bool SetSegmentPose(const double pose[Arbor::PoseSize]) = 0;
    /// Writes the last supplied segment pose; false when none.
    virtual bool SegmentPose(double pose[Arbor::PoseSize]) const = 0;
    /// Forgets inputs, segment pose and result.
    virtual void Reset() = 0;
    /// Id of the segment the result is relative to; Arbor::NoId for the global frame.
    virtual std::uint32_t SegmentId() const = 0;
    /// Releases the object; it must not be used afterwards. Called once, by the owner.
    virtual void Destroy() = 0;

protected:
    IComputeTarget();
    IComputeTarget(const IComputeTarget& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    IComputeTarget& operator=(const IComputeTarget& other);
};
