#include "cgstream/VFrameInfo.h"

#include "FileIO/ByteCodec.h"

namespace OrvanCGStream
{

std::shared_ptr<const VFrameInfo> VFrameInfo::Decode(const std::uint8_t* payload, std::size_t size)
{
    if (payload == nullptr || size < PayloadSize)
        return nullptr;
    return std::make_shared<const VFrameInfo>(LittleEndian::LoadU32(payload));
}

void VFrameInfo::EncodePayload(std::vector<std::uint8_t>& out) const
{
    const std::size_t at = out.size();
    out.resize(at + PayloadSize);
    LittleEndian::StoreU32(out.data() + at, m_FrameNumber);
}

} // namespace OrvanCGStream
