// The preview sender of a camera in preview mode: a thread that streams the moving test
// picture, cut into preview datagrams, to the HAL's UDP port 8574.
#pragma once

#include "devices/VDataOutSocketSink.h"
#include "devices/VPreviewPicture.h"

#include "net/VDataOutSocket.h"
#include "net/VThread.h"

#include <cstdint>
#include <memory>

/// The UDP port of the HAL that receives preview datagrams.
constexpr uint16_t PREVIEW_PORT = 8574;

/// Streams pictures without pacing other than a 10 ms pause between pictures (see
/// VPreviewPicture for the cut). A datagram the socket does not take after a few short retries
/// is dropped and counted, so the thread never hangs on an unreachable host. A sensor of width
/// or height 0 (or too large to preview) sends nothing and runs no thread.
///
/// Threading contract: owned by a camera while its preview is on; constructed and destroyed
/// on one owner thread (the main thread). The sender thread is the only user of the picture
/// and the socket until destruction, which stops it (stop event, checked between datagrams;
/// the pause between pictures wakes at once) and joins it before closing the socket. The
/// counters may be read from any thread. Not copyable.
class VPreviewServer : public VDataOutSocket
{
public:
    /// Pause between two pictures.
    static constexpr uint32_t PicturePauseMs = 10;

    /// Opens the socket towards `halAddress` (network order):`port`, sending from
    /// `localAddress` (network order; 0: the system's choice), and starts the sender.
    VPreviewServer(uint32_t halAddress, uint32_t deviceId, uint32_t width, uint32_t height,
                   uint16_t port = PREVIEW_PORT, uint32_t localAddress = 0);
    /// Stops and joins the sender thread, then closes the socket.
    ~VPreviewServer() override;
    VPreviewServer(const VPreviewServer&) = delete;
    VPreviewServer& operator=(const VPreviewServer&) = delete;

    /// True while the sender thread runs.
    bool IsSending() const { return m_Thread && m_Thread->IsRunning(); }
    uint64_t GetSentCount() const { return m_Sink.GetSentCount(); }
    uint64_t GetDroppedCount() const { return m_Sink.GetDroppedCount(); }

private:
    void Run(VThread& thread);

    VDataOutSocketSink m_Sink; // sends on this socket with bounded retries
    VPreviewPicture m_Picture; // sender thread only
    std::unique_ptr<VFunctionThread> m_Thread;
};
