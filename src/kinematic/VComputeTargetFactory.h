// The process-wide registry of target computations.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/IComputeTarget.h"
#include "kinematic/IComputeTargetFactory.h"
#include "kinematic/ITargetCalibrated.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

/// The compute registry behind IComputeTargetFactory: one process-wide instance, reached
/// through Factory(). Only Factory() is exported; programs use the registry through
/// IComputeTargetFactory.
/// Every operation holds m_Lock for its whole duration; the lock is recursive so that a
/// computation called under it may call back into the registry on the same thread.
/// Names are resolved with the target table's Find, which takes the table's own lock
/// inside this one. Computations are released (Destroy) after the lock is dropped.
class VComputeTargetFactory : public IComputeTargetFactory
{
public:
    /// The process-wide registry, created on first use and destroyed at exit (releasing
    /// every computation it still holds).
    ARBOR_API static IComputeTargetFactory& Factory();

    VComputeTargetFactory(const VComputeTargetFactory&) = delete;
    VComputeTargetFactory& operator=(const VComputeTargetFactory&) = delete;

    bool Register(IComputeTarget* target) override;
    bool Unregister(const char* name) override;
    bool IsRegistered(const char* name) override;
    std::uint32_t InputCountByName(const char* name) override;
    bool ComputeTarget(ITargetCalibrated& target) override;
    std::uint32_t InputCount(std::uint32_t targetId) override;

private:
    VComputeTargetFactory();
    ~VComputeTargetFactory() override;

    /// True when both maps hold `targetId`; m_Lock must be held.
    bool IsRegisteredUnlocked(std::uint32_t targetId) const;
    /// The registry's reference to `target` when it holds it already under some id,
    /// otherwise a new one that releases it through Destroy(). m_Lock must be held.
    std::shared_ptr<IComputeTarget> ShareUnlocked(IComputeTarget* target) const;

    mutable std::recursive_mutex m_Lock; // guards m_Targets, m_Companions
    /// The registered computations by target id.
    std::map<std::uint32_t, std::shared_ptr<IComputeTarget>> m_Targets;
    /// Each computation's companion (IComputeTarget::Target) by the same id; shares the
    /// computation's lifetime, since the computation owns it.
    std::map<std::uint32_t, std::shared_ptr<ITargetCalibrated>> m_Companions;
};
