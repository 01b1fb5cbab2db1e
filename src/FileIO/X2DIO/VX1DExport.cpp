#include "FileIO/X2DIO/VX1DExport.h"

#include "FileIO/VAnalogueBlock.h"
#include "FileIO/VAnalogueBlockDatum.h"
#include "FileIO/VAnalogueBlockSet.h"

namespace
{
constexpr std::uint16_t kHeaderValueTag = 0x00FF;
} // namespace

struct VX1DExport::VItemWriters
{
    VAnalogueBlockSet Set;
    VAnalogueBlock Block;
    VAnalogueBlockDatum Datum;
};

VX1DExport::VX1DExport() : m_Writers(std::make_unique<VItemWriters>()) {}

VX1DExport::~VX1DExport() = default;

bool VX1DExport::Open(const std::string& path, const VX1DExportSettings& settings)
{
    if (settings.Version < 1 || settings.Version > 2)
    {
        m_Error = "X1D files are written in versions 1 and 2.";
        return false;
    }
    if (!OpenFile(path, settings.BufferMiB, true, settings.Version >= 2, settings.WriteIndex))
    {
        return false;
    }
    m_Formats = settings.Formats.empty()
                    ? std::vector<VDataFormatInfo>{DefaultFormats::AnalogueBlocks()}
                    : settings.Formats;
    m_DeviceIds.resize(settings.DeviceCount);
    for (std::uint32_t d = 0; d < settings.DeviceCount; ++d)
    {
        m_DeviceIds[d] = d < settings.DeviceIds.size() ? settings.DeviceIds[d] : d;
    }

    m_Stream->WriteI32(settings.Version);
    WriteU32Item(kTagDeviceCount, settings.DeviceCount);
    WriteItemHeader(kTagFrameCount, 4);
    m_FrameCountPosition = m_Stream->Tell();
    m_Stream->WriteU32(0);
    if (settings.HeaderValue)
    {
        WriteItemHeader(kHeaderValueTag, 8);
        m_Stream->WriteI64(*settings.HeaderValue);
    }
    WriteU32Item(kTagFormatCount, static_cast<std::uint32_t>(m_Formats.size()));
    WriteFormats(kTagFormat, m_Formats);
    m_IndexOffsetPosition = WriteOffsetItem(kTagIndexOffset, kNoOffset);
    m_DataOffsetPosition = WriteOffsetItem(kTagDataOffset, 0);
    if (settings.WriteSourceSets)
    {
        VAnalogueSourceSetHeader sourceSets;
        sourceSets.SetSets(settings.SourceSets);
        sourceSets.SetRecordFormat(settings.SetRecordFormat);
        sourceSets.SetSourceFormat(settings.SourceFormat);
        WriteCustomBlock(sourceSets);
    }
    for (const VRawHeaderBlock& block : settings.ExtraHeaderBlocks)
    {
        WriteRawBlock(block);
    }
    BeginData();
    if (!m_Stream->IsGood())
    {
        Fail("Cannot write the file " + path + ".");
    }
    return !Failed();
}

bool VX1DExport::WriteFrame(std::uint32_t frameNumber, const IAnalogueBlockFrame* frame)
{
    if (!IsOpen() || Failed())
    {
        return false;
    }
    VItemWriters& w = *m_Writers;
    VMemoryOutputStream body;
    for (std::uint32_t d = 0; d < m_DeviceIds.size(); ++d)
    {
        w.Set.Clear();
        if (frame != nullptr && d < frame->Count())
        {
            frame->GetSet(d, w.Set);
        }
        const std::uint64_t recordLength = BeginDeviceRecord(body, m_DeviceIds[d]);
        for (const VDataFormatInfo& format : m_Formats)
        {
            const std::uint64_t blockLength = BeginBlock(body, format.GetFormatId());
            std::uint32_t count = 0;
            bool written = true;
            if (format.GetFormatId() == DefaultFormats::kAnalogueBlockFormatId)
            {
                count = w.Set.Count();
                w.Datum.SetDestination(&w.Block);
                for (std::uint32_t i = 0; i < count && written; ++i)
                {
                    w.Set.GetItem(i, w.Block);
                    written = w.Datum.Write(body, format.GetFields());
                }
                w.Datum.SetDestination(nullptr);
            }
            if (!written || !EndBlock(body, blockLength, count))
            {
                return Fail("Cannot encode the analogue blocks of frame " +
                            std::to_string(frameNumber) + ".");
            }
        }
        if (!EndDeviceRecord(body, recordLength))
        {
            return Fail("A device record is larger than 2 GiB.");
        }
    }
    return WriteFrameRecord(frameNumber, body.GetBytes());
}
