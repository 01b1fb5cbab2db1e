#include "cgstream/CGStreamWire.h"

#include "cgstream/VFrameInfo.h"
#include "cgstream/VRawItem.h"
#include "cgstream/VStreamInfo.h"

#include "FileIO/ByteCodec.h"

#include <algorithm>

namespace CGStreamWire
{

std::vector<std::uint8_t> EncodePreamble()
{
    std::vector<std::uint8_t> bytes(PreambleSize);
    std::copy(std::begin(Magic), std::end(Magic), bytes.begin());
    LittleEndian::StoreU32(bytes.data() + 4, Version);
    return bytes;
}

bool IsPreamble(const std::uint8_t* data)
{
    return std::equal(std::begin(Magic), std::end(Magic), data) &&
           LittleEndian::LoadU32(data + 4) == Version;
}

std::vector<std::uint8_t> EncodeRequest(const std::set<std::uint32_t>& types)
{
    const auto count =
        static_cast<std::uint32_t>(std::min<std::size_t>(types.size(), MaxRequestedTypes));
    std::vector<std::uint8_t> bytes = EncodePreamble();
    bytes.resize(RequestFixedSize + 4 * std::size_t{count});
    LittleEndian::StoreU32(bytes.data() + PreambleSize, count);
    std::size_t at = RequestFixedSize;
    for (auto type = types.begin(); at < bytes.size(); ++type, at += 4)
        LittleEndian::StoreU32(bytes.data() + at, *type);
    return bytes;
}

bool DecodeRequestHeader(const std::uint8_t* data, std::uint32_t& count)
{
    if (!IsPreamble(data))
        return false;
    count = LittleEndian::LoadU32(data + PreambleSize);
    return count <= MaxRequestedTypes;
}

std::set<std::uint32_t> DecodeRequestedTypes(const std::uint8_t* data, std::uint32_t count)
{
    std::set<std::uint32_t> types;
    for (std::uint32_t i = 0; i < count; ++i)
        types.insert(LittleEndian::LoadU32(data + 4 * std::size_t{i}));
    return types;
}

std::vector<std::uint8_t> EncodeItem(const OrvanCGStream::VItem& item)
{
    std::vector<std::uint8_t> bytes(ItemHeaderSize);
    item.EncodePayload(bytes);
    LittleEndian::StoreU32(bytes.data(), item.GetType());
    LittleEndian::StoreU32(bytes.data() + 4,
                           static_cast<std::uint32_t>(bytes.size() - ItemHeaderSize));
    return bytes;
}

bool DecodeItemHeader(const std::uint8_t* data, std::uint32_t& type, std::uint32_t& length)
{
    type = LittleEndian::LoadU32(data);
    length = LittleEndian::LoadU32(data + 4);
    return length <= MaxPayloadSize;
}

std::shared_ptr<const OrvanCGStream::VItem>
DecodeItem(std::uint32_t type, const std::uint8_t* payload, std::size_t size)
{
    switch (type)
    {
    case OrvanCGStream::ItemTypeStreamInfo:
        return OrvanCGStream::VStreamInfo::Decode(payload, size);
    case OrvanCGStream::ItemTypeFrameInfo:
        return OrvanCGStream::VFrameInfo::Decode(payload, size);
    default:
        return std::make_shared<const OrvanCGStream::VRawItem>(
            type, std::vector<std::uint8_t>(payload, payload + size));
    }
}

} // namespace CGStreamWire
