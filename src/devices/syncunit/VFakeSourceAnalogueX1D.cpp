#include "devices/syncunit/VFakeSourceAnalogueX1D.h"

#include "FileIO/AnalogueResampling.h"
#include "FileIO/X2DIO/VX1DHolder.h"
#include "sources/IFakeSourceParams.h"

#include <algorithm>
#include <array>
#include <utility>

VFakeSourceAnalogueX1D::VFakeSourceAnalogueX1D(const IFakeSourceParams& params,
                                               const VFakeSourceTarget& target,
                                               std::shared_ptr<VX1DHolder> trial,
                                               std::uint32_t slot, std::uint32_t x1dDeviceIndex)
    : VFakeSource(target), m_Params(params), m_Trial(std::move(trial)), m_Slot(slot),
      m_DeviceIndex(x1dDeviceIndex), m_Keys(slot)
{
    // The header's frame count is not checked against the index; a frame beyond the index
    // could never be read, and each failed read would leave one more message in the reader.
    if (m_Trial != nullptr)
        m_FrameCount = m_Trial->WithImport(
            [](const VX1DImport& import)
            { return std::min(import.GetFrameCount(), import.GetImpl().GetIndexTable().Count()); });
}

bool VFakeSourceAnalogueX1D::Read(std::uint32_t index, VAnalogueBlockFrame& frame)
{
    ++m_FramesRead;
    return m_Trial->ReadFrame(index, &frame);
}

void VFakeSourceAnalogueX1D::LoadFrames(std::uint32_t index, std::uint32_t frameCount)
{
    if (index == m_NextIndex && index != m_CurrentIndex)
    {
        std::swap(m_Current, m_Next);
        std::swap(m_CurrentIndex, m_NextIndex);
    }
    if (index != m_CurrentIndex)
        m_CurrentIndex = Read(index, m_Current) ? index : NoFrame;
    const std::uint32_t following = (index + 1) % frameCount;
    if (following == m_CurrentIndex && m_CurrentIndex != NoFrame)
    {
        // A one-frame trial follows itself.
        m_NextIndex = NoFrame;
        return;
    }
    if (following != m_NextIndex)
        m_NextIndex = Read(following, m_Next) ? following : NoFrame;
}

void VFakeSourceAnalogueX1D::SendFrame(std::uint32_t frame, std::uint32_t previous,
                                       std::uint32_t& bytesSent)
{
    bytesSent = 0;
    std::uint32_t instants = 0;
    if (!AnalogueResampling::SamplesPerFrame(m_Params.ReadParamOr(m_Keys.SampleRate.c_str(), 0.0),
                                             m_Params.ReadParamOr("SystemFrameRate", 0.0),
                                             instants))
        return;

    const std::uint32_t frameCount = m_FrameCount;
    const IAnalogueBlockSetDirect* current = nullptr;
    const IAnalogueBlockSetDirect* next = nullptr;
    if (frameCount > 0)
    {
        LoadFrames(frame % frameCount, frameCount);
        if (m_CurrentIndex != NoFrame)
            current = m_Current.GetSetDirect(m_DeviceIndex);
        if (m_NextIndex != NoFrame)
            next = m_Next.GetSetDirect(m_DeviceIndex);
        else if (m_CurrentIndex != NoFrame && frameCount == 1)
            next = current;
    }

    std::array<AnalogueResampling::VChannel, SyncUnitKeys::ChannelCount> channels{};
    std::array<AnalogueResampling::VChannel, SyncUnitKeys::ChannelCount> following{};
    std::uint32_t sent = 0;
    std::uint64_t mask = 0;
    for (std::uint32_t channel = 0; channel < SyncUnitKeys::ChannelCount; ++channel)
    {
        if (!m_Params.ReadParamOr(m_Keys.Enabled[channel].c_str(), false))
            continue;
        channels[sent] = AnalogueResampling::ChannelOf(current, channel);
        following[sent] = AnalogueResampling::ChannelOf(next, channel);
        ++sent;
        mask |= std::uint64_t{1} << channel;
    }

    m_Writer.Begin(GetSink(), m_Slot, GetDeviceId(), frame, previous);
    for (std::uint32_t instant = 0; instant < instants; ++instant)
    {
        for (std::uint32_t index = 0; index < sent; ++index)
            m_Writer.Append(
                AnalogueResampling::Resample(channels[index], following[index], instant, instants));
    }
    m_ValuesSent += instants * sent;
    bytesSent = m_Writer.Finish(m_ValuesSent, instants, sent, mask);
}
