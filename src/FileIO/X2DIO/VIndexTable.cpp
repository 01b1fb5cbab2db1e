#include "FileIO/X2DIO/VIndexTable.h"

#include <limits>

void VIndexTable::Clear()
{
    m_Entries.clear();
    m_FirstByNumber.clear();
}

bool VIndexTable::Read(IBinaryInputStream& stream)
{
    Clear();
    std::uint32_t count = 0;
    const std::uint64_t entryBytes = m_Offsets64 ? 12 : 8;
    if (!stream.ReadU32(count) || !stream.Require(count * entryBytes))
    {
        return false;
    }
    m_Entries.reserve(count);
    m_FirstByNumber.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        std::uint32_t frameNumber = 0;
        std::uint64_t offset = 0;
        std::int32_t offset32 = 0;
        const bool read = stream.ReadU32(frameNumber) &&
                          (m_Offsets64 ? stream.ReadU64(offset) : stream.ReadI32(offset32));
        if (!read)
        {
            Clear();
            return false;
        }
        Add(frameNumber, m_Offsets64 ? offset : static_cast<std::uint64_t>(std::int64_t{offset32}));
    }
    return true;
}

bool VIndexTable::Write(IBinaryOutputStream& stream) const
{
    stream.WriteU32(Count());
    for (const VIndexEntry& entry : m_Entries)
    {
        stream.WriteU32(entry.FrameNumber);
        if (m_Offsets64)
        {
            stream.WriteU64(entry.Offset);
            continue;
        }
        const auto offset = static_cast<std::int64_t>(entry.Offset);
        if (offset < std::numeric_limits<std::int32_t>::min() ||
            offset > std::numeric_limits<std::int32_t>::max())
        {
            return false;
        }
        stream.WriteI32(static_cast<std::int32_t>(offset));
    }
    return stream.IsGood();
}

void VIndexTable::Add(std::uint32_t frameNumber, std::uint64_t offset)
{
    m_FirstByNumber.emplace(frameNumber, Count());
    m_Entries.push_back(VIndexEntry{frameNumber, offset});
}

bool VIndexTable::GetEntry(std::uint32_t index, VIndexEntry& entry) const
{
    if (index >= m_Entries.size())
    {
        return false;
    }
    entry = m_Entries[index];
    return true;
}

bool VIndexTable::FindByFrameNumber(std::uint32_t frameNumber, std::uint32_t& index) const
{
    const auto found = m_FirstByNumber.find(frameNumber);
    if (found == m_FirstByNumber.end())
    {
        return false;
    }
    index = found->second;
    return true;
}

void VIndexTable::GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const
{
    frameNumbers.clear();
    frameNumbers.reserve(m_Entries.size());
    for (const VIndexEntry& entry : m_Entries)
    {
        frameNumbers.push_back(entry.FrameNumber);
    }
}

std::uint64_t VIndexTable::DiskSize() const
{
    return 4 + std::uint64_t{Count()} * (m_Offsets64 ? 12 : 8);
}
