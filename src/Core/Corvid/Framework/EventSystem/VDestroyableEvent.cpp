#include "Core/Corvid/Framework/EventSystem/VDestroyableEvent.h"

#include "params/IDestroyable.h"

VDestroyableEvent::VOwner::~VOwner()
{
    // Never delivered: release here rather than leak it.
    if (IDestroyable* object = m_Object.exchange(nullptr, std::memory_order_acq_rel))
        object->Destroy();
}

VDestroyableEvent::VDestroyableEvent(IDestroyable* object)
    : m_Owner(std::make_shared<VOwner>(object))
{
}

bool VDestroyableEvent::ShouldDeliver(IEventManager* /*manager*/)
{
    return m_Owner->m_Object.load(std::memory_order_acquire) != nullptr;
}

std::unique_ptr<IEvent> VDestroyableEvent::Clone() const
{
    return std::unique_ptr<IEvent>(new VDestroyableEvent(m_Owner));
}

bool VDestroyableEvent::Release()
{
    IDestroyable* object = m_Owner->m_Object.exchange(nullptr, std::memory_order_acq_rel);
    if (object == nullptr)
        return false;
    object->Destroy();
    return true;
}
