// The Qt event that carries one IEvent through the Qt posted-event queue.
#pragma once

#include "Core/Corvid/Framework/EventSystem/IEvent.h"

#include <QEvent>

#include <atomic>
#include <memory>

/// A QEvent of type 1000 (QEvent::User) that owns one IEvent. Built on the posting
/// thread, taken on the event thread. The pointer is handed over with
/// release/acquire, so everything the poster wrote into the event is visible to the
/// event thread without relying on Qt's internal locking. Deleting a VEventQt that
/// was never taken (Qt drops the posted events of a destroyed receiver) deletes the
/// carried event.
class VEventQt final : public QEvent
{
public:
    static constexpr QEvent::Type kType = QEvent::User;

    explicit VEventQt(std::unique_ptr<IEvent> event);
    ~VEventQt() override;
    VEventQt(const VEventQt&) = delete;
    VEventQt& operator=(const VEventQt&) = delete;

    /// Takes the carried event; null when already taken.
    std::unique_ptr<IEvent> Take();

private:
    std::atomic<IEvent*> m_Event{nullptr};
};
