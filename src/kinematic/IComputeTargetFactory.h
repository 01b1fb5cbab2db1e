// The registry of target computations, keyed by target id.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/IComputeTarget.h"
#include "kinematic/ITargetCalibrated.h"

#include <cstdint>

/// Registry of target computations: at most one IComputeTarget per target id, where the
/// id is the one its companion target reports (ITargetCalibrated::TargetId), that is an
/// index in the target table. Names are resolved through the target table
/// (ITargetFactory) at the time of the call.
/// Any thread may call any operation; each takes the registry's recursive lock for its
/// whole duration. Operations that resolve a name take the target table's lock inside
/// the registry's, so the lock order is: compute registry, then target table.
/// The process-wide instance is VComputeTargetFactory::Factory().
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API IComputeTargetFactory
{
protected:
    virtual ~IComputeTargetFactory();

public:
    /// Registers `target` under the id of its companion (target->Target()->TargetId()).
    /// Always takes ownership of `target`: on success the registry keeps it, replacing
    /// (and releasing) a computation registered under the same id before; on failure it
    /// is released at once with Destroy(), unless the registry already holds it under
    /// another id. Fails for a null target, a null companion and the id Arbor::NoId.
    virtual bool Register(IComputeTarget* target) = 0;
    /// Unregisters the computation of the target named `name` in the target table and
    /// releases it; false when that name is unknown or has no computation.
    virtual bool Unregister(const char* name) = 0;
    /// True when the target named `name` exists in the target table and its id has a
    /// computation.
    virtual bool IsRegistered(const char* name) = 0;
    /// InputCount(id) for the id of the target named `name`; 0 when unknown.
    virtual std::uint32_t InputCountByName(const char* name) = 0;
    /// Runs the computation registered under target.TargetId() on `target`; false (0)
    /// when none is registered.
    virtual bool ComputeTarget(ITargetCalibrated& target) = 0;
    /// Input count of the computation registered under `targetId`; 0 when none is.
    virtual std::uint32_t InputCount(std::uint32_t targetId) = 0;

protected:
    IComputeTargetFactory();
    IComputeTargetFactory(const IComputeTargetFactory& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    IComputeTargetFactory& operator=(const IComputeTargetFactory& other);
};
