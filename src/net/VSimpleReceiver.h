// The receive thread of one attached peer of a VSimpleConnection.
#pragma once

#include "net/VEvent.h"
#include "net/VSocketDataStream.h"
#include "net/VThread.h"

class VSimpleConnection;

/// Runs the connection's Process() for one peer until the peer leaves, the stream fails or
/// Process asks to end, then finishes the connection (FinishConnection) and ends.
///
/// Owned and joined by its connection (never deletes itself). It waits at a gate until the
/// connection has run its start hook (Release), so that the start hook and Process never write
/// to the stream at the same time. It is stopped by interrupting the stream's socket
/// (VSimpleConnection::Disconnect), which ends a blocked read at once.
/// Threading contract: constructed, released and destroyed by the connection's threads, never
/// destroyed on its own thread. Not copyable.
class VSimpleReceiver : public VThread
{
public:
    /// `stream` stays owned by the connection and must outlive the thread.
    VSimpleReceiver(VSimpleConnection& owner, VSocketDataStream& stream);
    ~VSimpleReceiver() override;

    /// Lets the receive loop begin. Any thread; idempotent.
    void Release() { m_Gate.Set(); }

    void Run() override;

private:
    VSimpleConnection& m_Owner;
    VSocketDataStream& m_Stream;
    VEvent m_Gate{true, false}; // set by Release
};
