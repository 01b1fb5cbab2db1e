#include "FileIO/VGreyscaleBlob.h"

#include "FileIO/GreyscaleStorage.h"

#include <utility>

VGreyscaleBlob::VGreyscaleBlob(const VGreyscaleBlob& source)
{
    SetData(source.m_Data);
}

VGreyscaleBlob& VGreyscaleBlob::operator=(const VGreyscaleBlob& source)
{
    SetData(source.m_Data);
    return *this;
}

VGreyscaleBlob::VGreyscaleBlob(VGreyscaleBlob&& source) noexcept
{
    Swap(source);
}

VGreyscaleBlob& VGreyscaleBlob::operator=(VGreyscaleBlob&& source) noexcept
{
    if (&source != this)
    {
        Clear();
        Swap(source);
    }
    return *this;
}

void VGreyscaleBlob::Swap(VGreyscaleBlob& other) noexcept
{
    // Swapped vectors keep their buffers, so both records stay pointed at their own storage.
    std::swap(m_Data, other.m_Data);
    m_Lines.swap(other.m_Lines);
    m_Pixels.swap(other.m_Pixels);
}

void VGreyscaleBlob::SetData(const IGreyscaleBlobData& data)
{
    if (&data == &m_Data)
    {
        return;
    }
    if (GreyscaleStorage::Aliases(data, m_Lines, m_Pixels))
    {
        VGreyscaleBlob copy(data);
        Swap(copy);
        return;
    }
    m_Lines.clear();
    m_Pixels.clear();
    m_Data.LineCount = GreyscaleStorage::AppendLines(data, m_Lines, m_Pixels);
    m_Data.BlobFlag = data.BlobFlag;
    m_Data.Lines = m_Lines.empty() ? nullptr : m_Lines.data();
    GreyscaleStorage::RepointLines(m_Lines.data(), m_Lines.size(), m_Pixels.data());
}

VGreyscaleBlob& VGreyscaleBlob::Assign(const IGreyscaleBlob& source)
{
    source.CopyTo(*this);
    return *this;
}

VGreyscaleBlob& VGreyscaleBlob::Assign(const IGreyscaleBlobDirect& source)
{
    source.CopyTo(*this);
    return *this;
}

void VGreyscaleBlob::Clear()
{
    m_Lines.clear();
    m_Pixels.clear();
    m_Data = IGreyscaleBlobData{};
}
