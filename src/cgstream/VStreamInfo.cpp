#include "cgstream/VStreamInfo.h"

#include "FileIO/ByteCodec.h"

#include <utility>

namespace OrvanCGStream
{

VStreamInfo::VStreamInfo(std::uint32_t frameRateMilliHz, std::string name)
    : m_FrameRateMilliHz(frameRateMilliHz),
      m_Name(name.size() > MaxNameLength ? name.substr(0, MaxNameLength) : std::move(name))
{
}

std::shared_ptr<const VStreamInfo> VStreamInfo::Decode(const std::uint8_t* payload,
                                                       std::size_t size)
{
    if (payload == nullptr || size < FixedSize)
        return nullptr;
    const std::uint16_t nameLength = LittleEndian::LoadU16(payload + 4);
    if (nameLength > MaxNameLength || nameLength > size - FixedSize)
        return nullptr;
    return std::make_shared<const VStreamInfo>(
        LittleEndian::LoadU32(payload),
        std::string(reinterpret_cast<const char*>(payload + FixedSize), nameLength));
}

void VStreamInfo::EncodePayload(std::vector<std::uint8_t>& out) const
{
    const std::size_t at = out.size();
    out.resize(at + FixedSize + m_Name.size());
    LittleEndian::StoreU32(out.data() + at, m_FrameRateMilliHz);
    LittleEndian::StoreU16(out.data() + at + 4, static_cast<std::uint16_t>(m_Name.size()));
    for (std::size_t i = 0; i < m_Name.size(); ++i)
        out[at + FixedSize + i] = static_cast<std::uint8_t>(m_Name[i]);
}

} // namespace OrvanCGStream
