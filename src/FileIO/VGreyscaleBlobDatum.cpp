#include "FileIO/VGreyscaleBlobDatum.h"

#include "FileIO/GreyscaleStorage.h"

#include <limits>

namespace
{
constexpr std::uint64_t kLineHeaderBytes = 6;
constexpr std::uint64_t kFieldHeaderBytes = 4 + 2;
} // namespace

bool VGreyscaleBlobDatum::ReadLines(IBinaryInputStream& stream)
{
    std::uint32_t length = 0;
    std::uint16_t lineCount = 0;
    if (!stream.ReadU32(length) || !stream.ReadU16(lineCount) ||
        !stream.Require(lineCount * kLineHeaderBytes))
    {
        return false;
    }
    if (m_Lines.size() + lineCount > std::numeric_limits<std::uint16_t>::max())
    {
        return Malformed();
    }
    for (std::uint16_t i = 0; i < lineCount; ++i)
    {
        IGreyscaleLineData line;
        // Lines that lie whole in the stream's view are taken from it directly.
        std::uint64_t available = 0;
        const std::uint8_t* at = stream.View(available);
        if (at != nullptr && available >= kLineHeaderBytes)
        {
            line.Coord0 = LittleEndian::LoadU16(at);
            line.Coord1 = LittleEndian::LoadU16(at + 2);
            line.PixelCount = LittleEndian::LoadU16(at + 4);
            if (available - kLineHeaderBytes >= line.PixelCount)
            {
                at += kLineHeaderBytes;
                m_Pixels.insert(m_Pixels.end(), at, at + line.PixelCount);
                m_Lines.push_back(line);
                stream.Skip(kLineHeaderBytes + line.PixelCount);
                continue;
            }
            line = IGreyscaleLineData{};
        }
        if (!stream.ReadU16(line.Coord0) || !stream.ReadU16(line.Coord1) ||
            !stream.ReadU16(line.PixelCount) || !stream.Require(line.PixelCount))
        {
            return false;
        }
        const std::size_t offset = m_Pixels.size();
        m_Pixels.resize(offset + line.PixelCount);
        if (line.PixelCount > 0 && !stream.Read(m_Pixels.data() + offset, line.PixelCount))
        {
            m_Pixels.resize(offset);
            return false;
        }
        m_Lines.push_back(line);
    }
    return true;
}

std::uint32_t VGreyscaleBlobDatum::Read(IBinaryInputStream& stream, const VDataFieldList& fields)
{
    BeginRead();
    m_Lines.clear();
    m_Pixels.clear();
    std::uint8_t blobFlag = 0;
    std::uint32_t decoded = 0;
    for (const VDataFormatField& field : fields)
    {
        if (!stream.IsGood())
        {
            break;
        }
        if (field.Key == kKeyLines)
        {
            if (!ReadLines(stream))
            {
                break;
            }
            ++decoded;
            continue;
        }
        if (field.Key == kKeyBlobFlag)
        {
            std::uint32_t flagWord = 0;
            if (!stream.ReadU32(flagWord))
            {
                break;
            }
            blobFlag = static_cast<std::uint8_t>(flagWord & 1);
            ++decoded;
            continue;
        }
        if (!SkipField(stream, field))
        {
            break;
        }
    }

    GreyscaleStorage::RepointLines(m_Lines.data(), m_Lines.size(), m_Pixels.data());
    const IGreyscaleBlobData blob{m_Lines.empty() ? nullptr : m_Lines.data(),
                                  static_cast<std::uint16_t>(m_Lines.size()), blobFlag};
    if (m_Destination != nullptr)
    {
        m_Destination->SetData(blob);
    }
    return stream.IsGood() ? decoded : 0;
}

bool VGreyscaleBlobDatum::Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const
{
    if (m_Destination == nullptr)
    {
        return false;
    }
    const IGreyscaleBlobData& blob = *m_Destination->GetData();
    const std::uint16_t lineCount = blob.Lines != nullptr ? blob.LineCount : 0;
    std::uint64_t length = kFieldHeaderBytes;
    for (std::uint16_t i = 0; i < lineCount; ++i)
    {
        const IGreyscaleLineData& line = blob.Lines[i];
        length += kLineHeaderBytes + (line.Pixels != nullptr ? line.PixelCount : 0);
    }
    for (const VDataFormatField& field : fields)
    {
        if (field.Key == kKeyLines)
        {
            if (length > std::numeric_limits<std::uint32_t>::max())
            {
                return false;
            }
            stream.WriteU32(static_cast<std::uint32_t>(length));
            stream.WriteU16(lineCount);
            for (std::uint16_t i = 0; i < lineCount; ++i)
            {
                const IGreyscaleLineData& line = blob.Lines[i];
                const std::uint16_t pixelCount = line.Pixels != nullptr ? line.PixelCount : 0;
                stream.WriteU16(line.Coord0);
                stream.WriteU16(line.Coord1);
                stream.WriteU16(pixelCount);
                stream.Write(line.Pixels, pixelCount);
            }
            continue;
        }
        if (field.Key == kKeyBlobFlag)
        {
            stream.WriteU32(blob.BlobFlag != 0 ? 1 : 0);
            continue;
        }
        WriteUnknownField(stream, field);
    }
    return stream.IsGood();
}
