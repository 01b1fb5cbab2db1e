#include "FileIO/VGreyscaleBlobSet.h"

#include "FileIO/GreyscaleStorage.h"

#include <utility>

namespace
{
/// Receives a blob pushed through the copy protocol and hands its record to a callback.
template <typename OnData> class VBlobSink : public IGreyscaleBlob
{
public:
    explicit VBlobSink(OnData onData) : m_OnData(std::move(onData)) {}
    void SetData(const IGreyscaleBlobData& data) override { m_OnData(data); }
    // Only ever the target of a copy: it holds no blob of its own.
    void CopyTo(IGreyscaleBlob&) const override {}
    IGreyscaleBlob& Assign(const IGreyscaleBlob& source) override
    {
        source.CopyTo(*this);
        return *this;
    }
    std::uint8_t GetBlobFlag() const override { return 0; }
    void SetBlobFlag(std::uint8_t) override {}

private:
    OnData m_OnData;
};
} // namespace

VGreyscaleBlobSet::VGreyscaleBlobSet(const VGreyscaleBlobSet& source)
{
    source.CopyTo(*this);
}

VGreyscaleBlobSet& VGreyscaleBlobSet::operator=(const VGreyscaleBlobSet& source)
{
    source.CopyTo(*this);
    return *this;
}

VGreyscaleBlobSet::VGreyscaleBlobSet(VGreyscaleBlobSet&& source) noexcept
{
    SwapArrays(source);
    std::swap(m_InfoByte, source.m_InfoByte);
    std::swap(m_Name, source.m_Name);
}

VGreyscaleBlobSet& VGreyscaleBlobSet::operator=(VGreyscaleBlobSet&& source) noexcept
{
    if (&source != this)
    {
        Clear();
        SwapArrays(source);
        std::swap(m_InfoByte, source.m_InfoByte);
        std::swap(m_Name, source.m_Name);
    }
    return *this;
}

void VGreyscaleBlobSet::SwapArrays(VGreyscaleBlobSet& other) noexcept
{
    // Swapped vectors keep their buffers, so every record stays pointed at its own arrays.
    m_Blobs.swap(other.m_Blobs);
    m_Lines.swap(other.m_Lines);
    m_Pixels.swap(other.m_Pixels);
}

bool VGreyscaleBlobSet::RefersToOwnStorage(const IGreyscaleBlobData& blob) const
{
    return PointsInto(&blob, m_Blobs) || GreyscaleStorage::Aliases(blob, m_Lines, m_Pixels);
}

void VGreyscaleBlobSet::CopyTo(IGreyscaleBlobSet& target) const
{
    target.SetAll(m_Blobs.empty() ? nullptr : m_Blobs.data(), Count(), m_InfoByte, m_Name);
}

void VGreyscaleBlobSet::SetAll(const IGreyscaleBlobData* blobs, std::uint32_t count,
                               std::uint8_t infoByte, const VStringStd& name)
{
    if (blobs == nullptr)
    {
        count = 0;
    }
    bool aliased = false;
    for (std::uint32_t i = 0; i < count && !aliased; ++i)
    {
        aliased = RefersToOwnStorage(blobs[i]);
    }
    if (aliased)
    {
        // Built aside, since the arrays being replaced are the source.
        VGreyscaleBlobSet copy;
        copy.SetAll(blobs, count, infoByte, name);
        *this = std::move(copy);
        return;
    }

    m_Blobs.clear();
    m_Lines.clear();
    m_Pixels.clear();
    std::size_t lineTotal = 0;
    std::size_t pixelTotal = 0;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        lineTotal += blobs[i].Lines != nullptr ? blobs[i].LineCount : 0;
        pixelTotal += GreyscaleStorage::PixelCount(blobs[i]);
    }
    m_Blobs.reserve(count);
    m_Lines.reserve(lineTotal);
    m_Pixels.reserve(pixelTotal);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const std::uint16_t lineCount = GreyscaleStorage::AppendLines(blobs[i], m_Lines, m_Pixels);
        m_Blobs.push_back(IGreyscaleBlobData{nullptr, lineCount, blobs[i].BlobFlag});
    }
    GreyscaleStorage::RepointBlobs(m_Blobs, m_Lines, m_Pixels);
    m_InfoByte = infoByte;
    if (&name != &m_Name)
    {
        m_Name = name;
    }
}

VGreyscaleBlobSet& VGreyscaleBlobSet::Assign(const IGreyscaleBlobSet& source)
{
    source.CopyTo(*this);
    return *this;
}

VGreyscaleBlobSet& VGreyscaleBlobSet::Assign(const IGreyscaleBlobSetDirect& source)
{
    source.CopyTo(*this);
    return *this;
}

bool VGreyscaleBlobSet::GetItem(std::uint32_t index, IGreyscaleBlob& out) const
{
    if (index >= m_Blobs.size())
    {
        return false;
    }
    out.SetData(m_Blobs[index]);
    return true;
}

bool VGreyscaleBlobSet::SetItem(std::uint32_t index, const IGreyscaleBlob& in)
{
    if (index >= m_Blobs.size())
    {
        return false;
    }
    auto replace = [this, index](const IGreyscaleBlobData& data) { SetItemData(index, data); };
    VBlobSink<decltype(replace)> sink(replace);
    in.CopyTo(sink);
    return true;
}

bool VGreyscaleBlobSet::SetItemData(std::uint32_t index, const IGreyscaleBlobData& blob)
{
    if (index >= m_Blobs.size())
    {
        return false;
    }
    // Line and pixel counts may change, so the arrays are rebuilt aside.
    VGreyscaleBlobSet rebuilt;
    for (std::uint32_t i = 0; i < m_Blobs.size(); ++i)
    {
        rebuilt.AppendData(i == index ? blob : m_Blobs[i]);
    }
    SwapArrays(rebuilt);
    return true;
}

void VGreyscaleBlobSet::Append(const IGreyscaleBlob& blob)
{
    auto append = [this](const IGreyscaleBlobData& data) { AppendData(data); };
    VBlobSink<decltype(append)> sink(append);
    blob.CopyTo(sink);
}

void VGreyscaleBlobSet::AppendData(const IGreyscaleBlobData& blob)
{
    if (RefersToOwnStorage(blob))
    {
        const IGreyscaleBlobData copy = blob;
        VGreyscaleBlobSet aside;
        aside.AppendData(copy);
        AppendData(aside.m_Blobs.front());
        return;
    }
    const IGreyscaleLineData* linesBefore = m_Lines.data();
    const std::uint8_t* pixelsBefore = m_Pixels.data();
    const std::size_t firstLine = m_Lines.size();
    const std::size_t firstPixel = m_Pixels.size();
    const std::uint16_t lineCount = GreyscaleStorage::AppendLines(blob, m_Lines, m_Pixels);
    m_Blobs.push_back(IGreyscaleBlobData{nullptr, lineCount, blob.BlobFlag});
    if (m_Lines.data() != linesBefore || m_Pixels.data() != pixelsBefore)
    {
        // The arrays moved: every record still points into the old buffers.
        GreyscaleStorage::RepointBlobs(m_Blobs, m_Lines, m_Pixels);
        return;
    }
    IGreyscaleBlobData& added = m_Blobs.back();
    added.Lines = lineCount > 0 ? m_Lines.data() + firstLine : nullptr;
    GreyscaleStorage::RepointLines(m_Lines.data() + firstLine, lineCount,
                                   m_Pixels.data() + firstPixel);
}

void VGreyscaleBlobSet::GetData(const IGreyscaleBlobData** blobs, std::uint32_t* count,
                                std::uint8_t* infoByte) const
{
    if (blobs != nullptr)
    {
        *blobs = m_Blobs.empty() ? nullptr : m_Blobs.data();
    }
    if (count != nullptr)
    {
        *count = Count();
    }
    if (infoByte != nullptr)
    {
        *infoByte = m_InfoByte;
    }
}

bool VGreyscaleBlobSet::GetItemData(std::uint32_t index, const IGreyscaleBlobData** out) const
{
    const bool present = index < m_Blobs.size();
    if (out != nullptr)
    {
        *out = present ? &m_Blobs[index] : nullptr;
    }
    return present;
}

void VGreyscaleBlobSet::Clear()
{
    m_Blobs.clear();
    m_Lines.clear();
    m_Pixels.clear();
    m_InfoByte = 0;
    m_Name.Str().clear();
}
