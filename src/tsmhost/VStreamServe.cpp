#include "tsmhost/VStreamServe.h"

#include "cgstream/VFrameInfo.h"
#include "cgstream/VStreamInfo.h"

#include <cmath>
#include <memory>

VStreamServe::VStreamServe()
    : m_Completion([this](std::uint32_t frame)
                   { m_Server.Publish(std::make_shared<const OrvanCGStream::VFrameInfo>(frame)); })
{
}

bool VStreamServe::Start(const VNetAddress& hal, std::uint16_t port,
                         std::chrono::milliseconds delay, std::string& error)
{
    m_Server.SetDelay(delay);
    if (!m_Server.Start(hal.ToString(), port, error))
        return false;
    m_Where = hal.ToString() + ":" + std::to_string(m_Server.GetPort());
    m_Serving = true;
    return true;
}

void VStreamServe::BeginStreaming(double rate, const std::vector<VHostDevice>& devices)
{
    const double milliHz = std::round(rate * 1000.0);
    m_Server.SetStreamInfo(std::make_shared<const OrvanCGStream::VStreamInfo>(
        milliHz > 0.0 && milliHz < 4.0e9 ? static_cast<std::uint32_t>(milliHz) : 0u, "tsmhost"));
    for (const VHostDevice& device : devices)
    {
        if (device.IsCamera() && device.Control == EControlState::Ready)
            m_Completion.ExpectDevice(device.Id);
    }
}

void VStreamServe::OnDeviceFrame(std::uint32_t deviceId, std::uint32_t frameNumber)
{
    m_Completion.OnDeviceFrame(deviceId, frameNumber);
}

void VStreamServe::Stop()
{
    m_Server.Stop();
}

std::string VStreamServe::Describe() const
{
    const VCGStreamServerCounts counts = m_Server.GetCounts();
    const VFrameCompletion::VCounts frames = m_Completion.GetCounts();
    return "stream on " + m_Where + ": " + std::to_string(frames.Completed) + " frames complete, " +
           std::to_string(frames.Abandoned) + " incomplete ones skipped; " +
           std::to_string(counts.ItemsSent) + " items sent to " +
           std::to_string(counts.ClientsAccepted) + " client" +
           (counts.ClientsAccepted == 1 ? "" : "s");
}
