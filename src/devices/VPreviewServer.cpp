#include "devices/VPreviewServer.h"

#include "lumen/Log.h"

namespace
{
constexpr const char* PreviewThreadName = "PreviewServer";
} // namespace

VPreviewServer::VPreviewServer(uint32_t halAddress, uint32_t deviceId, uint32_t width,
                               uint32_t height, uint16_t port, uint32_t localAddress)
    : m_Sink(*this), m_Picture(deviceId, width, height)
{
    Open(halAddress, port, localAddress);
    if (!m_Picture.IsSendable())
    {
        ZEL_LOG("Preview", 1, "%u: no preview for a sensor of %u x %u pixels", deviceId, width,
                height);
        return;
    }
    m_Thread = std::make_unique<VFunctionThread>(PreviewThreadName,
                                                 [this](VThread& thread) { Run(thread); });
    m_Thread->Start();
}

VPreviewServer::~VPreviewServer()
{
    m_Thread.reset(); // requests the stop and joins
    Close(true);
}

void VPreviewServer::Run(VThread& thread)
{
    while (!thread.IsStopRequested())
    {
        if (m_Picture.IsAtPictureStart() && thread.WaitForStop(PicturePauseMs))
            return;
        m_Picture.SendNext(m_Sink);
    }
}
