#include "Core/Corvid/Framework/EventSystem/VEventQt.h"

static_assert(VEventQt::kType == 1000, "deliveries are recognised by the first user type");

VEventQt::VEventQt(std::unique_ptr<IEvent> event) : QEvent(kType)
{
    m_Event.store(event.release(), std::memory_order_release);
}

VEventQt::~VEventQt()
{
    delete m_Event.exchange(nullptr, std::memory_order_acq_rel);
}

std::unique_ptr<IEvent> VEventQt::Take()
{
    return std::unique_ptr<IEvent>(m_Event.exchange(nullptr, std::memory_order_acq_rel));
}
