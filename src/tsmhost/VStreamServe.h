// "tsmhost run --serve-stream": the host's data stream, carrying one frame information item
// per frame once the host has that frame from every device.
#pragma once

#include "tsmhost/HostDevice.h"
#include "tsmhost/IHostFrameListener.h"
#include "tsmhost/VFrameCompletion.h"

#include "cgstream/VOrvanCGStreamServer.h"
#include "net/VNetAddress.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

/// Serves the stream on the HAL address: the stream information (the run's rate) and a
/// VFrameInfo for each frame number that every camera configured at the start of streaming,
/// and every other device that delivers frames, has delivered (VFrameCompletion), optionally
/// held back by a fixed delay (to check a latency measurement against a known latency).
///
/// Threading contract: Start, BeginStreaming, Stop, Describe on the run's thread;
/// OnDeviceFrame on the session's receive thread. It must outlive the session's use of it
/// (clear the session's listener, or stop the session, first). Not copyable.
class VStreamServe final : public IHostFrameListener
{
public:
    VStreamServe();
    VStreamServe(const VStreamServe&) = delete;
    VStreamServe& operator=(const VStreamServe&) = delete;

    /// Listens on `hal`:`port` with `delay` before each frame information item. False with
    /// the reason in `error`.
    bool Start(const VNetAddress& hal, std::uint16_t port, std::chrono::milliseconds delay,
               std::string& error);
    bool IsServing() const { return m_Serving; }
    /// "ADDR:PORT" of the stream once serving.
    const std::string& GetWhere() const { return m_Where; }
    /// The stream information gets `rate`; the cameras of `devices` that are configured are
    /// waited for in every frame from now on.
    void BeginStreaming(double rate, const std::vector<VHostDevice>& devices);
    void OnDeviceFrame(std::uint32_t deviceId, std::uint32_t frameNumber) override;
    /// Closes the stream. Idempotent.
    void Stop();

    /// "stream on ADDR:PORT: N frames complete, K incomplete ones skipped; I items sent to M
    /// clients".
    std::string Describe() const;

private:
    VOrvanCGStreamServer m_Server;
    VFrameCompletion m_Completion;
    std::string m_Where;
    bool m_Serving = false;
};
