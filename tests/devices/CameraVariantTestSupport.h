// Helpers of the camera-variant and trial-loader tests: a temporary folder, trial files with
// chosen camera records, a loopback UDP receiver, readers of the wire records, and a fixture
// with the variants' definition lists and a manager that opens no socket.
#pragma once

#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraSynth.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "devices/camera/VFakeDeviceCameraX2DParsed.h"
#include "net/VSocketSimple.h"
#include "params/ParamAccess.h"
#include "tsmtrial/VX2DTrialGenerator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace variants_test
{

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

constexpr std::uint32_t kLoopback = 0x7F000001u; // 127.0.0.1, host order

/// A fresh folder under the system's temporary folder, removed with everything in it.
class VTempDir
{
public:
    VTempDir()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tsm-variants-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_Path = pattern;
    }
    ~VTempDir()
    {
        std::error_code ignored;
        if (!m_Path.empty())
            std::filesystem::remove_all(m_Path, ignored);
    }
    VTempDir(const VTempDir&) = delete;
    VTempDir& operator=(const VTempDir&) = delete;

    bool IsValid() const { return !m_Path.empty(); }
    std::string File(const std::string& name) const { return (m_Path / name).string(); }

private:
    std::filesystem::path m_Path;
};

/// A camera record of the given type name and sensor, with id `id`.
inline CameraInfoRecord Record(std::uint32_t id, const std::string& typeName, std::uint32_t width,
                               std::uint32_t height)
{
    CameraInfoRecord record;
    record.CameraId = id;
    record.TypeName = typeName;
    record.SensorWidth = width;
    record.SensorHeight = height;
    return record;
}

/// What WriteTrial writes: the generator's frames of `Frames` frames for as many cameras as
/// `Cameras` holds, with these records in place of the generator's.
struct VTrialLayout
{
    std::vector<CameraInfoRecord> Cameras;
    std::uint32_t Frames = 20;
    double Rate = 100.0;
    std::uint32_t Markers = 6;
    /// Cameras per frame; by default the number of records.
    std::optional<std::uint32_t> DeviceCount;
};

/// Writes an X2D trial of synthetic markers (VX2DTrialGenerator) whose camera list is
/// `layout.Cameras`. False, with a test failure, when it cannot be written.
inline bool WriteTrial(const std::string& path, const VTrialLayout& layout)
{
    const std::uint32_t deviceCount =
        layout.DeviceCount.value_or(static_cast<std::uint32_t>(layout.Cameras.size()));
    VX2DGeneratorSettings settings;
    settings.Cameras = std::max<std::uint32_t>(1, deviceCount);
    settings.Frames = std::max<std::uint32_t>(layout.Frames, 1);
    settings.Rate = layout.Rate;
    settings.Markers = layout.Markers;
    settings.StartTimecode.clear();
    VX2DTrialGenerator generator(settings);
    VX2DExportSettings exportSettings = generator.GetExportSettings();
    exportSettings.Cameras = layout.Cameras;
    exportSettings.DeviceCount = deviceCount;
    // The generator's model sensor fixes the centroid format, whatever the records say.
    exportSettings.Formats = VX2DExport::DefaultFormatList(2352, 1728);
    VX2DExport writer;
    if (!writer.Open(path, exportSettings))
    {
        ADD_FAILURE() << "cannot write " << path << ": " << writer.GetError();
        return false;
    }
    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame greyscale;
    VEdgePairFrame edges;
    bool ok = true;
    for (std::uint32_t i = 0; i < layout.Frames && ok; ++i)
    {
        const std::uint32_t number = generator.NextFrame(centroids, tracks, greyscale, edges);
        ok = writer.WriteFrame(number, &centroids, &tracks, &greyscale, &edges);
    }
    ok = writer.Close() && ok;
    if (!ok)
        ADD_FAILURE() << "cannot write " << path << ": " << writer.GetError();
    return ok;
}

/// A UDP socket bound on 127.0.0.1 that collects what the cameras send. Not copyable.
class VUdpReceiver
{
public:
    /// Binds `port` (0: an ephemeral one); see IsOpen.
    explicit VUdpReceiver(std::uint16_t port = 0)
    {
        m_Open = m_Socket.Create(VSocketSimple::KindDatagram) &&
                 m_Socket.BindToAddress(htonl(kLoopback), port);
        if (m_Open)
        {
            int size = 4 << 20;
            m_Socket.SetOption(SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        }
    }
    VUdpReceiver(const VUdpReceiver&) = delete;
    VUdpReceiver& operator=(const VUdpReceiver&) = delete;

    bool IsOpen() const { return m_Open; }
    std::uint16_t GetPort() const { return m_Socket.GetLocalPort(); }

    /// The next datagram, or nothing when none arrives within `timeout`.
    std::optional<Bytes> Receive(std::chrono::milliseconds timeout)
    {
        pollfd descriptor{m_Socket.GetHandle(), POLLIN, 0};
        if (::poll(&descriptor, 1, static_cast<int>(timeout.count())) <= 0)
            return std::nullopt;
        Bytes buffer(65536);
        sockaddr_in source{};
        const int received = m_Socket.ReceiveFrom(buffer.data(), buffer.size(), source);
        if (received < 0)
            return std::nullopt;
        buffer.resize(static_cast<std::size_t>(received));
        return buffer;
    }

    /// Every datagram until none has come for `quiet`.
    std::vector<Bytes> ReceiveAll(std::chrono::milliseconds quiet = 100ms)
    {
        std::vector<Bytes> datagrams;
        while (std::optional<Bytes> datagram = Receive(quiet))
            datagrams.push_back(std::move(*datagram));
        return datagrams;
    }

private:
    VSocketSimple m_Socket;
    bool m_Open = false;
};

/// A receiver on an ephemeral port p and one on p + `offset`, as a camera's centroid and
/// greyscale sources need them. False when no such pair could be bound.
inline bool OpenPortPair(std::unique_ptr<VUdpReceiver>& first,
                         std::unique_ptr<VUdpReceiver>& second, std::uint16_t offset)
{
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        first = std::make_unique<VUdpReceiver>();
        if (!first->IsOpen() || first->GetPort() > 65535 - offset)
            continue;
        second =
            std::make_unique<VUdpReceiver>(static_cast<std::uint16_t>(first->GetPort() + offset));
        if (second->IsOpen())
            return true;
    }
    return false;
}

// Little-endian reads of the wire records.
inline std::uint16_t U16(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}
inline std::uint32_t U32(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(U16(bytes, offset)) |
           (static_cast<std::uint32_t>(U16(bytes, offset + 2)) << 16);
}
inline std::int32_t I32(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::int32_t>(U32(bytes, offset));
}

constexpr std::uint16_t kTrailerTag = 0xC001;
constexpr std::uint32_t kCentroidStream = 0x00000002;
constexpr std::uint32_t kGreyscaleStream = 0x00010002;

/// Whether `datagram` is a 36-byte frame trailer.
inline bool IsTrailer(const Bytes& datagram)
{
    return datagram.size() == 36 && U16(datagram, 0) == kTrailerTag;
}

/// The last 36 bytes of `datagram`: the trailer of a greyscale frame, which ends the frame's
/// last datagram (empty when the datagram is shorter).
inline Bytes TrailingTrailer(const Bytes& datagram)
{
    if (datagram.size() < 36)
        return {};
    return Bytes(datagram.end() - 36, datagram.end());
}

/// The variants' definition lists registered, and a manager without broadcast socket, event
/// manager or connection parts: parameter changes on the test's thread run at once and
/// connecting opens no port. Cameras are connected, enabled and given their data port
/// through their shell interpreter, as the HAL would do it.
class VariantFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(VFakeDeviceCameraX2DDefinitions.Register(), nullptr);
        ASSERT_NE(VFakeDeviceCameraX2DParsedDefinitions.Register(), nullptr);
        ASSERT_NE(VFakeDeviceCameraSynthDefinitions.Register(), nullptr);
        ASSERT_TRUE(m_Temp.IsValid());
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        m_Manager = std::make_unique<VFakeDeviceManager>(nullptr, htonl(kLoopback),
                                                         htonl(kLoopback), options);
    }
    void TearDown() override
    {
        m_Manager.reset();
        VFakeDeviceCameraX2DDefinitions.Release();
        VFakeDeviceCameraX2DParsedDefinitions.Release();
        VFakeDeviceCameraSynthDefinitions.Release();
    }

    /// Connects `camera`, enables it as DATA_DISABLE and "datadisable false" would, and
    /// sends "portset <port>" through its shell interpreter.
    static void StartStreaming(VFakeDevice& camera, std::uint32_t port)
    {
        ASSERT_TRUE(SetParamValue<bool>(*camera.GetParamList(), "Connected", true, true));
        camera.SetParam("SystemEnabled", true);
        std::string reply;
        camera.ProcessCommand("datadisable false", reply);
        camera.ProcessCommand("portset " + std::to_string(port), reply);
    }

    /// Produces the frame `frame` on `camera` (the previous one is what it produced last).
    static void Tick(VFakeDevice& camera, std::uint32_t frame)
    {
        camera.SetNextFrameNumber(frame, false);
        camera.OnMasterTick();
    }

    VTempDir m_Temp;
    std::unique_ptr<VFakeDeviceManager> m_Manager;
};

} // namespace variants_test
