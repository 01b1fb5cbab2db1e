// A segment computation: derives the pose of one segment from the positions of the
// targets it carries.
#pragma once

#include "kinematic/ArborTypes.h"
#include "params/IString.h"

#include <cstdint>

/// Computes the pose of one segment from a set of target positions. Implemented by the
/// programs that use Arbor; has no virtual destructor, so its owner releases it with
/// Destroy(). Not thread-safe: one caller at a time.
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API IComputeSegment
{
public:
    /// Copies the name of the segment whose pose is computed into `name`.
    virtual void SegmentName(IString& name) const = 0;
    /// Number of target positions Compute reads.
    virtual std::uint32_t InputCount() const = 0;
    /// Copies the name of input target `index` into `name`; false when out of range.
    virtual bool InputName(std::uint32_t index, IString& name) const = 0;
    /// Computes the segment pose from `count` positions (Arbor::PositionSize doubles
    /// each, in input order) into `pose` (Arbor::PoseSize doubles); false when `count`
    /// differs from InputCount() or the inputs do not determine a pose.
    virtual bool Compute(const double* positions, std::uint32_t count,
                         double pose[Arbor::PoseSize]) const = 0;
    /// Releases the object; it must not be used afterwards.
    virtual void Destroy() = 0;

protected:
    IComputeSegment();
    IComputeSegment(const IComputeSegment& other);
    ~IComputeSegment() = default;

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    IComputeSegment& operator=(const IComputeSegment& other);
};
