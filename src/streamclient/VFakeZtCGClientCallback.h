// The latency stream client's callback from its stream client.
#pragma once

#include "cgstream/IOrvanCGStreamClientCallback.h"

class VFakeZtCGClient;

/// Hands frame information items and the loss of the connection to its VFakeZtCGClient,
/// which it reaches through a plain pointer: the client destroys its stream client (and so
/// ends every callback) before it goes. Runs on the stream client's connection thread.
/// Stream information and items of other types are dropped. Not copyable.
class VFakeZtCGClientCallback final : public IOrvanCGStreamClientCallback
{
public:
    explicit VFakeZtCGClientCallback(VFakeZtCGClient& client) : m_Client(client) {}
    VFakeZtCGClientCallback(const VFakeZtCGClientCallback&) = delete;
    VFakeZtCGClientCallback& operator=(const VFakeZtCGClientCallback&) = delete;

    void OnItemReceived(std::shared_ptr<const OrvanCGStream::VItem> item) override;
    void OnConnectionLost() override;

private:
    VFakeZtCGClient& m_Client;
};
