#include "streamclient/VFakeZtCGClientCallback.h"

#include "cgstream/VFrameInfo.h"
#include "streamclient/VFakeZtCGClient.h"

void VFakeZtCGClientCallback::OnItemReceived(std::shared_ptr<const OrvanCGStream::VItem> item)
{
    if (const auto* frame = dynamic_cast<const OrvanCGStream::VFrameInfo*>(item.get()))
        m_Client.OnFrameInfo(frame->GetFrameNumber());
}

void VFakeZtCGClientCallback::OnConnectionLost()
{
    m_Client.OnConnectionLost();
}
