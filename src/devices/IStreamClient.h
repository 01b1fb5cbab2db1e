// What the device manager needs of a latency stream client: the frame numbers the rig sends,
// and its parameters. The stream client itself lives above the device base, which reaches
// it only through this face.
#pragma once

#include <cstdint>

class IParamList;

/// One stream client as the manager sees it. Owned by the manager through shared handles;
/// created (through the manager's stream-client factory) and destroyed on the main thread.
class IStreamClient
{
public:
    virtual ~IStreamClient() = default;

    /// The sync master has just sent frame `frameNumber`. Called by the manager's OnSyncTick
    /// under the manager's lock, on the master's sync thread; must be quick and must not call
    /// back into the manager.
    virtual void OnFrameSent(uint32_t frameNumber) = 0;

    /// The client's parameters, or null when it has none. Main thread only.
    virtual IParamList* GetParamList() { return nullptr; }
};
