#include "kinematic/VComputeTargetFactory.h"

#include "kinematic/VTargetFactory.h"

#include <utility>

IComputeTargetFactory& VComputeTargetFactory::Factory()
{
    static VComputeTargetFactory instance;
    return instance;
}

VComputeTargetFactory::VComputeTargetFactory() = default;

VComputeTargetFactory::~VComputeTargetFactory()
{
    std::map<std::uint32_t, std::shared_ptr<IComputeTarget>> targets;
    std::map<std::uint32_t, std::shared_ptr<ITargetCalibrated>> companions;
    {
        std::lock_guard lock(m_Lock);
        targets.swap(m_Targets);
        companions.swap(m_Companions);
    }
    // Released here, outside the lock; companions first, since they share the
    // computations' lifetime.
    companions.clear();
}

bool VComputeTargetFactory::Register(IComputeTarget* target)
{
    if (target == nullptr)
        return false;
    // Declared before the lock so that whatever the registry lets go of (the new target
    // on failure, a computation it replaces) is released after the lock is dropped.
    std::shared_ptr<IComputeTarget> shared;
    std::shared_ptr<IComputeTarget> replaced;
    std::shared_ptr<ITargetCalibrated> replacedCompanion;
    std::lock_guard lock(m_Lock);
    shared = ShareUnlocked(target);
    ITargetCalibrated* companion = target->Target();
    if (companion == nullptr)
        return false;
    const std::uint32_t targetId = companion->TargetId();
    if (targetId == Arbor::NoId)
        return false;
    std::shared_ptr<IComputeTarget>& targetSlot = m_Targets[targetId];
    std::shared_ptr<ITargetCalibrated>& companionSlot = m_Companions[targetId];
    replaced = std::exchange(targetSlot, shared);
    // The companion belongs to the computation: the aliasing reference keeps the
    // computation, not the companion, alive.
    replacedCompanion =
        std::exchange(companionSlot, std::shared_ptr<ITargetCalibrated>(shared, companion));
    return true;
}

bool VComputeTargetFactory::Unregister(const char* name)
{
    std::shared_ptr<IComputeTarget> released; // dropped after the lock
    std::shared_ptr<ITargetCalibrated> releasedCompanion;
    std::lock_guard lock(m_Lock);
    const std::uint32_t targetId = VTargetFactory::Factory().Find(name);
    if (!IsRegisteredUnlocked(targetId))
        return false;
    auto target = m_Targets.find(targetId);
    released = std::move(target->second);
    m_Targets.erase(target);
    auto companion = m_Companions.find(targetId);
    releasedCompanion = std::move(companion->second);
    m_Companions.erase(companion);
    return true;
}

bool VComputeTargetFactory::IsRegistered(const char* name)
{
    std::lock_guard lock(m_Lock);
    return IsRegisteredUnlocked(VTargetFactory::Factory().Find(name));
}

std::uint32_t VComputeTargetFactory::InputCountByName(const char* name)
{
    std::lock_guard lock(m_Lock);
    return InputCount(VTargetFactory::Factory().Find(name));
}

bool VComputeTargetFactory::ComputeTarget(ITargetCalibrated& target)
{
    std::lock_guard lock(m_Lock);
    auto found = m_Targets.find(target.TargetId());
    if (found == m_Targets.end() || found->second == nullptr)
        return false;
    return found->second->Compute(target);
}

std::uint32_t VComputeTargetFactory::InputCount(std::uint32_t targetId)
{
    std::lock_guard lock(m_Lock);
    auto found = m_Targets.find(targetId);
    if (found == m_Targets.end() || found->second == nullptr)
        return 0;
    return found->second->InputCount();
}

bool VComputeTargetFactory::IsRegisteredUnlocked(std::uint32_t targetId) const
{
    return targetId != Arbor::NoId && m_Targets.count(targetId) != 0 &&
           m_Companions.count(targetId) != 0;
}

std::shared_ptr<IComputeTarget> VComputeTargetFactory::ShareUnlocked(IComputeTarget* target) const
{
    for (const auto& [targetId, registered] : m_Targets)
    {
        if (registered.get() == target)
            return registered;
    }
    return std::shared_ptr<IComputeTarget>(target, [](IComputeTarget* owned) { owned->Destroy(); });
}
