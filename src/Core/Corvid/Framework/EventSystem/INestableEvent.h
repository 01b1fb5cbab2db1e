// Marker for events that may be delivered inside another delivery.
#pragma once

/// An event that also derives from this interface is delivered as soon as it reaches
/// the event thread, even while another delivery is running (a handler that spins a
/// nested event loop); other events wait until the running delivery ends.
class INestableEvent
{
public:
    virtual ~INestableEvent() = default;
};
