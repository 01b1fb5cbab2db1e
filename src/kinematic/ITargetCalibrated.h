// A calibrated target: a marker carried by one segment of a subject, with its
// calibrated offset on the segment and its current position.
#pragma once

#include "kinematic/ArborTypes.h"
#include "params/IString.h"

#include <cstdint>

/// A calibrated target. Implemented by the programs that use Arbor.
/// Not thread-safe by itself: the registries call it under their own locks, so an
/// implementation that is also used elsewhere guards its own state.
/// Whoever owns one releases it with Destroy(), never with delete. The target table
/// (ITargetFactory) takes ownership of the targets added to it.
/// The declaration order of the virtual operations is the virtual-table order, which
/// programs built against earlier releases rely on: never reorder or insert.
class ARBOR_API ITargetCalibrated
{
protected:
    virtual ~ITargetCalibrated();

public:
    /// Radius of the marker in millimetres; 0 when unknown. The target table reports it.
    virtual double Radius() const = 0;
    /// Releases the object; it must not be used afterwards. Called once, by the owner.
    virtual void Destroy() = 0;
    /// Copies the target's name into `name`.
    virtual void Name(IString& name) const = 0;
    /// Copies the name of the segment that carries the target into `segment`.
    virtual void SegmentName(IString& segment) const = 0;
    /// The target's id: its index in the target table, or Arbor::NoId when it has none.
    /// The compute registry keys its computations by this id.
    virtual std::uint32_t TargetId() const = 0;
    /// Writes the calibrated offset in the segment's frame; false when not calibrated.
    virtual bool LocalPosition(double position[Arbor::PositionSize]) const = 0;
    /// Sets the calibrated offset in the segment's frame; false when refused.
    virtual bool SetLocalPosition(const double position[Arbor::PositionSize]) = 0;
    /// Writes the current global position; false when the target is occluded.
    virtual bool Position(double position[Arbor::PositionSize]) const = 0;
    /// Sets the current global position and marks the target visible; false when refused.
    virtual bool SetPosition(const double position[Arbor::PositionSize]) = 0;
    /// Marks the target occluded: it has no current position until the next SetPosition.
    virtual void SetOccluded() = 0;
    /// True while the target has no current position.
    virtual bool IsOccluded() const = 0;
    /// Sets the marker radius in millimetres.
    virtual void SetRadius(double radius) = 0;

protected:
    ITargetCalibrated();
    ITargetCalibrated(const ITargetCalibrated& other);
    /// Returns the left operand unchanged: interfaces carry no state.
    ITargetCalibrated& operator=(const ITargetCalibrated& other);
};
