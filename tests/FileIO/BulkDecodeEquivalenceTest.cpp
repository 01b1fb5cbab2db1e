// The bulk decode of runs of items straight from a stream's buffered view must give
// exactly what the one-item-at-a-time path gives: the same records, stream position and
// stream state, for random field lists (unknown, variable, zero-size and scale-less
// fields), random bytes, block ends inside items, and views cut short at random.
#include "FileIO/VCentroidDataHolder.h"
#include "FileIO/VCentroidSet.h"
#include "FileIO/VCentroidTrackDataHolder.h"
#include "FileIO/VCentroidTrackSet.h"
#include "FileIO/VEdgeDataHolder.h"
#include "FileIO/VEdgePairSet.h"
#include "FileIO/VGreyscaleBlobDataHolder.h"
#include "FileIO/VGreyscaleBlobSet.h"
#include "FileIO/VMemoryBinaryStream.h"
#include "FileIO/VGreyscaleBlob.h"
#include <string>
#include <cstring>
#include <random>
#include <memory>
#include <cstdlib>

#include <gtest/gtest.h>

namespace
{
// A memory stream without a view: the item-by-item path only.
class NoView : public IBinaryInputStream
{
public:
    NoView(const std::uint8_t* d, std::uint64_t n) : m_In(d, n) {}
    bool Read(void* d, std::uint64_t c) override { return m_In.Read(d, c); }
    std::uint64_t Tell() const override { return m_In.Tell(); }
    bool Seek(std::uint64_t p) override { return m_In.Seek(p); }
    std::uint64_t Size() const override { return m_In.Size(); }
    bool IsGood() const override { return m_In.IsGood(); }
    void ClearErrors() override { m_In.ClearErrors(); }
    VMemoryInputStream m_In;
};
// A stream whose view is short and ragged: cut items.
class ShortView : public VMemoryInputStream
{
public:
    ShortView(const std::uint8_t* d, std::uint64_t n, std::mt19937& r)
        : VMemoryInputStream(d, n), m_R(r)
    {
    }
    const std::uint8_t* View(std::uint64_t& a) override
    {
        const std::uint8_t* p = VMemoryInputStream::View(a);
        a = std::min<std::uint64_t>(a, m_R() % 40);
        return a ? p : nullptr;
    }
    std::mt19937& m_R;
};

std::mt19937 rng(1); // fixed seed: the same cases on every run
VDataFieldList RandomFields(std::uint16_t base, int kind)
{
    VDataFieldList f;
    int n = rng() % 7;
    for (int i = 0; i < n; ++i)
    {
        VDataFormatField x;
        int c = rng() % 10;
        x.Key = c < 6 ? base + rng() % (kind == 0 ? 5 : 3) : (c < 8 ? 0x1234 : base + 7);
        x.Size = rng() % 12 == 0 ? VDataFormatField::kVariableSize : rng() % 10;
        if (rng() % 6 != 0)
        {
            float s = 0.25f + rng() % 100;
            std::uint8_t b[4];
            std::memcpy(b, &s, 4);
            if (x.Key == base + 4)
            {
                std::uint32_t p = rng() % 40;
                std::memcpy(b, &p, 4);
            }
            x.Parameters.assign(b, b + 4);
        }
        f.push_back(x);
    }
    return f;
}
template <class T> bool Same(const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}
int fails = 0, runs = 0, greyNonEmpty = 0;
template <class Holder, class Set, class Data, class Get>
void Check(std::uint16_t base, int kind, Get get)
{
    VDataFieldList fields = RandomFields(base, kind);
    std::vector<std::uint8_t> bytes(rng() % 300);
    for (auto& b : bytes)
        b = rng();
    if (rng() % 3 == 0)
        for (auto& b : bytes)
            b &= 0x0f;
    std::uint64_t blockEnd = bytes.empty() ? 0 : rng() % (bytes.size() + 1);
    for (int mode = 0; mode < 2; ++mode)
    {
        Holder h1, h2;
        Set s1, s2;
        h1.SetTarget(&s1);
        h2.SetTarget(&s2);
        NoView a(bytes.data(), bytes.size());
        while (a.Tell() < blockEnd && h1.ReadItem(a, fields))
        {
        }
        std::unique_ptr<VMemoryInputStream> b;
        if (mode == 0)
            b = std::make_unique<VMemoryInputStream>(bytes.data(), bytes.size());
        else
            b = std::make_unique<ShortView>(bytes.data(), bytes.size(), rng);
        h2.ReadItems(*b, fields, blockEnd);
        // second block with the same list into the same set (plan reuse)
        ++runs;
        std::vector<Data> d1 = get(s1), d2 = get(s2);
        if (a.Tell() != b->Tell() || a.IsGood() != b->IsGood() || !Same(d1, d2))
        {
            ++fails;
            ADD_FAILURE() << "kind " << kind << " view mode " << mode << ": position " << a.Tell()
                          << "/" << b->Tell() << " good " << a.IsGood() << "/" << b->IsGood()
                          << " records " << d1.size() << "/" << d2.size();
        }
    }
}
std::string Dump(VGreyscaleBlobSet& s)
{
    std::string out;
    VGreyscaleBlob b;
    for (std::uint32_t i = 0; i < s.Count(); ++i)
    {
        s.GetItem(i, b);
        const IGreyscaleBlobData* d = b.GetData();
        out += "B" + std::to_string(d->LineCount) + "," + std::to_string(d->BlobFlag) +
               (d->Lines ? "L" : "n");
        for (int l = 0; l < d->LineCount; ++l)
        {
            const auto& x = d->Lines[l];
            out += "(" + std::to_string(x.Coord0) + "," + std::to_string(x.Coord1) + "," +
                   std::to_string(x.PixelCount) + (x.Pixels ? "p" : "n");
            for (int p = 0; p < x.PixelCount && x.Pixels; ++p)
                out += std::to_string(x.Pixels[p]) + ".";
            out += ")";
        }
    }
    return out;
}
void CheckGrey()
{
    VDataFieldList f;
    int n = rng() % 4;
    for (int i = 0; i < n; ++i)
    {
        VDataFormatField x;
        int c = rng() % 4;
        x.Key = c < 2 ? 0xBB00 : (c == 2 ? 0xBB01 : 0x1111);
        x.Size = x.Key == 0xBB00 || rng() % 3 == 0 ? VDataFormatField::kVariableSize : rng() % 6;
        f.push_back(x);
    }
    std::vector<std::uint8_t> bytes(rng() % 300);
    for (auto& b : bytes)
    {
        b = rng();
        if (rng() % 4)
            b &= 0x07;
    }
    std::uint64_t blockEnd = bytes.empty() ? 0 : rng() % (bytes.size() + 1);
    for (int mode = 0; mode < 2; ++mode)
    {
        VGreyscaleBlobDataHolder h1, h2;
        VGreyscaleBlobSet s1, s2;
        h1.SetTarget(&s1);
        h2.SetTarget(&s2);
        NoView a(bytes.data(), bytes.size());
        while (a.Tell() < blockEnd && h1.ReadItem(a, f))
        {
        }
        std::unique_ptr<VMemoryInputStream> b;
        if (mode == 0)
            b = std::make_unique<VMemoryInputStream>(bytes.data(), bytes.size());
        else
            b = std::make_unique<ShortView>(bytes.data(), bytes.size(), rng);
        h2.ReadItems(*b, f, blockEnd);
        ++runs;
        if (a.Tell() != b->Tell() || a.IsGood() != b->IsGood() || Dump(s1) != Dump(s2))
        {
            ++fails;
            ADD_FAILURE() << "greyscale, view mode " << mode;
        }
        if (s1.Count() > 0)
            ++greyNonEmpty;
    }
}

} // namespace

TEST(BulkDecode, RunsOfItemsDecodeExactlyAsOneAtATime)
{
    for (int i = 0; i < 20000; ++i)
    {
        CheckGrey();
        Check<VCentroidDataHolder, VCentroidSet, ICentroidData>(0xAA00, 0,
                                                                [](VCentroidSet& s)
                                                                {
                                                                    std::vector<ICentroidData> v;
                                                                    for (std::uint32_t i = 0;
                                                                         i < s.Count(); ++i)
                                                                    {
                                                                        ICentroidData* d;
                                                                        s.GetItemData(i, &d);
                                                                        v.push_back(*d);
                                                                    }
                                                                    return v;
                                                                });
        Check<VCentroidTrackDataHolder, VCentroidTrackSet, ICentroidTrackData>(
            0xAA00, 1,
            [](VCentroidTrackSet& s)
            {
                std::vector<ICentroidTrackData> v;
                ICentroidTrackData* d;
                std::uint32_t n;
                s.GetData(&d, &n);
                v.assign(d, d + n);
                return v;
            });
        Check<VEdgeDataHolder, VEdgePairSet, IEdgePairData>(0xCC00, 2,
                                                            [](VEdgePairSet& s)
                                                            {
                                                                std::vector<IEdgePairData> v;
                                                                IEdgePairData* d;
                                                                std::uint32_t n;
                                                                s.GetData(&d, &n);
                                                                if (n)
                                                                    v.assign(d, d + n);
                                                                return v;
                                                            });
        if (fails > 10)
            break;
    }
    EXPECT_EQ(fails, 0) << "of " << runs << " comparisons";
    EXPECT_GT(greyNonEmpty, 100) << "the random greyscale items must often decode to blobs";
}
