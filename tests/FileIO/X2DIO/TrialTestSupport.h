// Helpers of the trial-file tests: reads of a file's fields, and frames with known contents
// that survive a write and read exactly.
#pragma once

#include "FileIO/ByteCodec.h"
#include "FileIO/VAnalogueBlockFrame.h"
#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VCameraInfoHeader.h"
#include "support/FileBytes.h"
#include "support/VTempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace TrialTest
{

using namespace testsupport;

inline std::uint64_t LoadFile(const std::string& path, std::uint64_t position, std::size_t width)
{
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    return position + width <= bytes.size()
               ? LittleEndian::LoadUnsigned(bytes.data() + position, width)
               : ~std::uint64_t{0};
}

/// Sensor size of the test cameras: powers of two keep every centroid scale exact.
constexpr std::uint32_t kSensorWidth = 1024;
constexpr std::uint32_t kSensorHeight = 512;

inline CameraInfoRecord MakeCamera(std::uint32_t id)
{
    CameraInfoRecord camera;
    camera.SensorWidth = kSensorWidth;
    camera.SensorHeight = kSensorHeight;
    camera.CameraId = id;
    camera.RealAA03 = 2.5;
    camera.UnsignedAA07 = 7 + id;
    camera.TypeName = "Vantage " + std::to_string(id);
    camera.TextAA12 = "second text";
    camera.UnsignedAA09 = 9;
    camera.GroupsAA10 = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 4000000000u}};
    camera.CameraValue = 0.125 * id;
    return camera;
}

/// The frames of one recorded frame, every kind filled from `seed`.
struct VFrames
{
    VCentroidFrame Centroids;
    VCentroidTrackFrame Tracks;
    VGreyscaleBlobFrame Greyscale;
    VEdgePairFrame Edges;
};

/// Values that the default formats of a kSensorWidth x kSensorHeight sensor store exactly.
inline void FillFrames(VFrames& frames, std::uint32_t devices, std::uint32_t seed)
{
    frames.Centroids.Resize(devices);
    frames.Tracks.Resize(devices);
    frames.Greyscale.Resize(devices);
    frames.Edges.Resize(devices);
    for (std::uint32_t d = 0; d < devices; ++d)
    {
        const std::uint32_t count = (seed + d) % 4 + 1;
        VCentroidSet& centroids = *frames.Centroids.GetSetDirect(d);
        centroids.Resize(count);
        VCentroidTrackSet& tracks = *frames.Tracks.GetSetDirect(d);
        tracks.Resize(count);
        VEdgePairSet& edges = *frames.Edges.GetSetDirect(d);
        edges.Resize(count + 1);
        VGreyscaleBlobSet& greyscale = *frames.Greyscale.GetSetDirect(d);
        greyscale.Clear();
        greyscale.SetInfoByte(static_cast<std::uint8_t>(0x40 + seed + d));
        for (std::uint32_t i = 0; i < count; ++i)
        {
            ICentroidData* c = nullptr;
            centroids.GetItemData(i, &c);
            c->X = 100.5 + seed + i;
            c->Y = 20.25 + d;
            c->Radius = 1.5 + 0.5 * i;
            c->Fraction = 0.25 * (i % 4);
            ICentroidTrackData* t = nullptr;
            tracks.GetData(&t, nullptr);
            t[i].Id = (i == 0) ? -1 : std::int64_t{seed} * 1000 + i;
            t[i].Length = seed + i;
            t[i].Confidence = 0.5f * static_cast<float>(i);
            std::vector<std::uint8_t> pixels(3 + i, static_cast<std::uint8_t>(seed + i));
            IGreyscaleLineData lines[2] = {{static_cast<std::uint16_t>(10 + i),
                                            static_cast<std::uint16_t>(20 + d), pixels.data(),
                                            static_cast<std::uint16_t>(pixels.size())},
                                           {11, static_cast<std::uint16_t>(21 + d), nullptr, 0}};
            IGreyscaleBlobData blob{lines, static_cast<std::uint16_t>(i % 3),
                                    static_cast<std::uint8_t>(i % 2)};
            if (blob.LineCount == 0)
            {
                blob.Lines = nullptr;
            }
            greyscale.AppendData(blob);
        }
        IEdgePairData* e = nullptr;
        edges.GetData(&e, nullptr);
        for (std::uint32_t i = 0; i <= count; ++i)
        {
            e[i] = {static_cast<std::uint16_t>(seed + i), static_cast<std::uint16_t>(d),
                    static_cast<std::uint16_t>(65535 - i)};
        }
    }
}

/// Compares two frames set by set, item by item (names excluded: readers set them).
inline void ExpectSameContents(const VFrames& expected, const VFrames& actual)
{
    ASSERT_EQ(expected.Centroids.Count(), actual.Centroids.Count());
    for (std::uint32_t d = 0; d < expected.Centroids.Count(); ++d)
    {
        SCOPED_TRACE("device " + std::to_string(d));
        const VCentroidSet& ce = *expected.Centroids.GetSetDirect(d);
        const VCentroidSet& ca = *actual.Centroids.GetSetDirect(d);
        ASSERT_EQ(ce.Count(), ca.Count());
        const ICentroidData* de = nullptr;
        const ICentroidData* da = nullptr;
        ce.GetData(&de, nullptr, nullptr);
        ca.GetData(&da, nullptr, nullptr);
        for (std::uint32_t i = 0; i < ce.Count(); ++i)
        {
            EXPECT_EQ(de[i].X, da[i].X);
            EXPECT_EQ(de[i].Y, da[i].Y);
            EXPECT_EQ(de[i].Radius, da[i].Radius);
            EXPECT_EQ(de[i].Fraction, da[i].Fraction);
        }
        const VCentroidTrackSet& te = *expected.Tracks.GetSetDirect(d);
        const VCentroidTrackSet& ta = *actual.Tracks.GetSetDirect(d);
        ASSERT_EQ(te.Count(), ta.Count());
        const ICentroidTrackData* tde = nullptr;
        const ICentroidTrackData* tda = nullptr;
        te.GetData(&tde, nullptr);
        ta.GetData(&tda, nullptr);
        for (std::uint32_t i = 0; i < te.Count(); ++i)
        {
            EXPECT_EQ(tde[i].Id, tda[i].Id);
            EXPECT_EQ(tde[i].Length, tda[i].Length);
            EXPECT_EQ(tde[i].Confidence, tda[i].Confidence);
        }
        const VEdgePairSet& ee = *expected.Edges.GetSetDirect(d);
        const VEdgePairSet& ea = *actual.Edges.GetSetDirect(d);
        ASSERT_EQ(ee.Count(), ea.Count());
        const IEdgePairData* ede = nullptr;
        const IEdgePairData* eda = nullptr;
        ee.GetData(&ede, nullptr);
        ea.GetData(&eda, nullptr);
        for (std::uint32_t i = 0; i < ee.Count(); ++i)
        {
            EXPECT_EQ(ede[i].Coord0, eda[i].Coord0);
            EXPECT_EQ(ede[i].Coord1, eda[i].Coord1);
            EXPECT_EQ(ede[i].Coord2, eda[i].Coord2);
        }
        const VGreyscaleBlobSet& ge = *expected.Greyscale.GetSetDirect(d);
        const VGreyscaleBlobSet& ga = *actual.Greyscale.GetSetDirect(d);
        ASSERT_EQ(ge.Count(), ga.Count());
        EXPECT_EQ(ge.GetInfoByte(), ga.GetInfoByte());
        for (std::uint32_t i = 0; i < ge.Count(); ++i)
        {
            const IGreyscaleBlobData* be = nullptr;
            const IGreyscaleBlobData* ba = nullptr;
            ge.GetItemData(i, &be);
            ga.GetItemData(i, &ba);
            EXPECT_EQ(be->BlobFlag, ba->BlobFlag);
            ASSERT_EQ(be->LineCount, ba->LineCount);
            EXPECT_EQ(ba->Lines == nullptr, ba->LineCount == 0);
            for (std::uint16_t l = 0; l < be->LineCount; ++l)
            {
                EXPECT_EQ(be->Lines[l].Coord0, ba->Lines[l].Coord0);
                EXPECT_EQ(be->Lines[l].Coord1, ba->Lines[l].Coord1);
                ASSERT_EQ(be->Lines[l].PixelCount, ba->Lines[l].PixelCount);
                for (std::uint16_t p = 0; p < be->Lines[l].PixelCount; ++p)
                {
                    EXPECT_EQ(be->Lines[l].Pixels[p], ba->Lines[l].Pixels[p]);
                }
            }
        }
    }
}

/// An analogue frame of `devices` sets; device d holds d + 1 blocks of sizes 0, 3, 6, ...
inline void FillAnalogue(VAnalogueBlockFrame& frame, std::uint32_t devices, std::uint32_t seed)
{
    frame.Resize(devices);
    for (std::uint32_t d = 0; d < devices; ++d)
    {
        VAnalogueBlockSet& set = *frame.GetSetDirect(d);
        set.Clear();
        for (std::uint32_t b = 0; b <= d; ++b)
        {
            std::vector<std::uint8_t> bytes(3 * b);
            for (std::size_t i = 0; i < bytes.size(); ++i)
            {
                bytes[i] = static_cast<std::uint8_t>(seed * 7 + d * 3 + i);
            }
            set.AppendData(IAnalogueBlockData{bytes.empty() ? nullptr : bytes.data(),
                                              static_cast<std::uint32_t>(bytes.size())});
        }
    }
}

inline std::vector<std::uint8_t> BlockBytes(const VAnalogueBlockFrame& frame, std::uint32_t device,
                                            std::uint32_t block)
{
    const IAnalogueBlockData* data = nullptr;
    if (!frame.GetSetDirect(device)->GetItemData(block, &data) || data->Data == nullptr)
    {
        return {};
    }
    return std::vector<std::uint8_t>(data->Data, data->Data + data->Size);
}

} // namespace TrialTest
