#include "net/VSimpleReceiver.h"

#include "net/VSimpleConnection.h"

namespace
{
constexpr const char* ReceiverThreadName = "SimpleComms_Receiver";
} // namespace

VSimpleReceiver::VSimpleReceiver(VSimpleConnection& owner, VSocketDataStream& stream)
    : VThread(ReceiverThreadName), m_Owner(owner), m_Stream(stream)
{
}

VSimpleReceiver::~VSimpleReceiver()
{
    // The connection interrupts the socket before it lets the receiver go; opening the gate
    // makes sure a receiver that never got its start signal can end too.
    Release();
    Join();
}

void VSimpleReceiver::Run()
{
    m_Gate.Wait(VSyncroniser::Infinite);
    VSocketInputStream& in = m_Stream.GetIStream();
    for (;;)
    {
        if (in.bad() || (in.fail() && !in.eof()))
            break;
        if (in.eof())
        {
            m_Owner.MarkClosing();
            break;
        }
        const int result = m_Owner.Process();
        if (result == 1)
        {
            m_Owner.MarkClosing();
            break;
        }
        if (result == 2)
            break;
    }
    m_Owner.FinishConnection();
}
