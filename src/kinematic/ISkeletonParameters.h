// Named numeric parameters of a subject's skeleton (segment lengths, joint offsets,
// marker offsets) that calibration estimates.
#pragma once

#include "kinematic/ArborTypes.h"
#include "params/IString.h"

#include <cstdint>

/// An ordered set of named skeleton parameters. Owned by its subject
/// (ISubjectCalibrated), which releases it with Destroy(). Not thread-safe: one caller
/// at a time. Names compare exactly.
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API ISkeletonParameters
{
protected:
    virtual ~ISkeletonParameters();

public:
    /// Releases the object; it must not be used afterwards.
    virtual void Destroy() = 0;
    /// Number of parameters.
    virtual std::uint32_t Count() const = 0;
    /// Copies the name of parameter `index` into `name`; false when `index` >= Count().
    virtual bool Name(std::uint32_t index, IString& name) const = 0;
    /// Index of the parameter named `name`, or Arbor::NoId.
    virtual std::uint32_t Find(const char* name) const = 0;
    /// Reads parameter `index`; false when `index` >= Count().
    virtual bool Value(std::uint32_t index, double& value) const = 0;
    /// Sets parameter `index`; false when `index` >= Count().
    virtual bool SetValue(std::uint32_t index, double value) = 0;

protected:
    ISkeletonParameters();
    ISkeletonParameters(const ISkeletonParameters& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    ISkeletonParameters& operator=(const ISkeletonParameters& other);
};

/// The name under which earlier releases exported the assignment operator.
using ISkeletonParameter = ISkeletonParameters;
