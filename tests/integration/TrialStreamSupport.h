// Helpers of the trial replay tests, the test playing the capture host: loopback UDP and TCP
// sockets, a collector that cuts each camera's centroid stream into frames, and the check of
// those frames against the trial file.
#pragma once

#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/X2DIO/VX2DHolder.h"
#include "net/VSocketSimple.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace stream_test
{

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::uint32_t kLoopback = 0x7F000001u; // host order

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
inline std::uint32_t BigEndian32(const Bytes& bytes, std::size_t offset)
{
    return (static_cast<std::uint32_t>(bytes.at(offset)) << 24) |
           (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 16) |
           (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 8) | bytes.at(offset + 3);
}

/// A fresh folder under the system's temporary folder, removed with everything in it.
class VTempDir
{
public:
    VTempDir()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tsm-stream-XXXXXX").string();
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

/// One datagram and the port it came from.
struct VDatagram
{
    Bytes m_Bytes;
    std::uint16_t m_SourcePort = 0;
};

/// A UDP socket bound on 127.0.0.1 (port 0: ephemeral). Not copyable.
class VUdpSocket
{
public:
    explicit VUdpSocket(std::uint16_t port = 0)
    {
        m_Open = m_Socket.Create(VSocketSimple::KindDatagram) &&
                 m_Socket.BindToAddress(htonl(kLoopback), port);
        if (m_Open)
        {
            int size = 8 << 20;
            m_Socket.SetOption(SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        }
    }
    VUdpSocket(const VUdpSocket&) = delete;
    VUdpSocket& operator=(const VUdpSocket&) = delete;

    bool IsOpen() const { return m_Open; }
    std::uint16_t GetPort() const { return m_Socket.GetLocalPort(); }
    int GetHandle() const { return m_Socket.GetHandle(); }

    /// The next datagram, waiting at most `timeout`.
    std::optional<VDatagram> Receive(std::chrono::milliseconds timeout)
    {
        pollfd descriptor{m_Socket.GetHandle(), POLLIN, 0};
        if (::poll(&descriptor, 1, static_cast<int>(timeout.count())) <= 0)
            return std::nullopt;
        VDatagram datagram;
        datagram.m_Bytes.resize(65536);
        sockaddr_in source{};
        const int received =
            m_Socket.ReceiveFrom(datagram.m_Bytes.data(), datagram.m_Bytes.size(), source);
        if (received < 0)
            return std::nullopt;
        datagram.m_Bytes.resize(static_cast<std::size_t>(received));
        datagram.m_SourcePort = ntohs(source.sin_port);
        return datagram;
    }

    bool SendTo(const Bytes& bytes, std::uint16_t port)
    {
        return m_Socket.SendTo(bytes.data(), bytes.size(), htonl(kLoopback), port) ==
               static_cast<int>(bytes.size());
    }

private:
    VSocketSimple m_Socket;
    bool m_Open = false;
};

/// Binds an ephemeral port p and p + `offset`. False when no such pair could be bound.
inline bool OpenPortPair(std::unique_ptr<VUdpSocket>& first, std::unique_ptr<VUdpSocket>& second,
                         std::uint16_t offset)
{
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        first = std::make_unique<VUdpSocket>();
        if (!first->IsOpen() || first->GetPort() > 65535 - offset)
            continue;
        second =
            std::make_unique<VUdpSocket>(static_cast<std::uint16_t>(first->GetPort() + offset));
        if (second->IsOpen())
            return true;
    }
    return false;
}

/// The host's end of one device shell: connect, read up to the prompt, send a line.
class VShellClient
{
public:
    static constexpr const char* Prompt = "\nQuorvent $";

    /// Connects to 127.0.0.1:`port`, retrying until `deadline` (the shell may not listen
    /// yet), and reads the greeting. False when no greeting with the prompt came.
    bool Connect(std::uint16_t port, Clock::time_point deadline)
    {
        while (Clock::now() < deadline)
        {
            m_Socket.Close(false);
            if (m_Socket.Create(VSocketSimple::KindStream) &&
                m_Socket.ConnectWithTimeout("127.0.0.1", port, 500))
                return ReadToPrompt(m_Greeting, deadline);
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    /// Sends `line` and a line feed; returns the reply without the prompt, or nothing.
    std::optional<std::string> Command(const std::string& line,
                                       std::chrono::milliseconds timeout = 5s)
    {
        const std::string text = line + "\n";
        if (m_Socket.Send(text.data(), text.size()) != static_cast<int>(text.size()))
            return std::nullopt;
        std::string reply;
        if (!ReadToPrompt(reply, Clock::now() + timeout))
            return std::nullopt;
        return reply;
    }

    const std::string& GetGreeting() const { return m_Greeting; }

private:
    bool ReadToPrompt(std::string& text, Clock::time_point deadline)
    {
        const std::string prompt = Prompt;
        while (Clock::now() < deadline)
        {
            if (text.size() >= prompt.size() &&
                text.compare(text.size() - prompt.size(), prompt.size(), prompt) == 0)
            {
                text.resize(text.size() - prompt.size());
                return true;
            }
            pollfd descriptor{m_Socket.GetHandle(), POLLIN, 0};
            if (::poll(&descriptor, 1, 100) <= 0)
                continue;
            char buffer[4096];
            const int received = m_Socket.Receive(buffer, sizeof buffer);
            if (received <= 0)
                return false;
            text.append(buffer, static_cast<std::size_t>(received));
        }
        return false;
    }

    VSocketSimple m_Socket;
    std::string m_Greeting;
};

/// One frame of a centroid stream as the host sees it: its records and its trailer.
struct VReceivedFrame
{
    std::uint32_t m_DeviceId = 0;
    std::uint32_t m_Frame = 0;
    std::uint32_t m_Previous = 0;
    std::uint32_t m_RecordBytes = 0;   ///< trailer offset 16
    std::uint32_t m_CentroidCount = 0; ///< trailer offset 20
    std::uint32_t m_Tracking = 0;      ///< trailer offset 32
    std::vector<Bytes> m_Centroids;
    std::vector<Bytes> m_Tracks;
    bool m_Malformed = false;
};

/// Cuts the datagrams of the centroid streams into frames, per sender (each camera's
/// centroid source has its own socket, so its own source port); the trailer names the
/// device.
class VCentroidStreamCollector
{
public:
    void Add(const VDatagram& datagram)
    {
        VReceivedFrame& frame = m_Open[datagram.m_SourcePort];
        const Bytes& bytes = datagram.m_Bytes;
        if (bytes.size() == 36 && U16(bytes, 0) == 0xC001)
        {
            frame.m_DeviceId = U32(bytes, 8);
            frame.m_Frame = U32(bytes, 12);
            frame.m_RecordBytes = U32(bytes, 16);
            frame.m_CentroidCount = U32(bytes, 20);
            frame.m_Previous = U32(bytes, 28);
            frame.m_Tracking = U32(bytes, 32);
            if (U32(bytes, 4) != 2)
                frame.m_Malformed = true;
            m_Frames[frame.m_DeviceId].push_back(std::move(frame));
            m_Open.erase(datagram.m_SourcePort);
            return;
        }
        if (bytes.size() % 16 != 0 || bytes.empty())
        {
            frame.m_Malformed = true;
            return;
        }
        for (std::size_t offset = 0; offset < bytes.size(); offset += 16)
        {
            Bytes record(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                         bytes.begin() + static_cast<std::ptrdiff_t>(offset + 16));
            const std::uint16_t tag = U16(record, 0);
            if (tag == 0xC007)
                frame.m_Centroids.push_back(std::move(record));
            else if (tag == 0xC006)
                frame.m_Tracks.push_back(std::move(record));
            else
                frame.m_Malformed = true;
        }
    }

    /// The complete frames of each device, in arrival order.
    const std::map<std::uint32_t, std::vector<VReceivedFrame>>& GetFrames() const
    {
        return m_Frames;
    }

private:
    std::map<std::uint16_t, VReceivedFrame> m_Open;
    std::map<std::uint32_t, std::vector<VReceivedFrame>> m_Frames;
};

/// Compares the frames received from camera `cameraIndex` with the trial: consecutive frame
/// numbers, and the records of trial frame (frame mod frame count) within the wire's fixed
/// point. `tracking` is the camera's mode: "Off" (no tracks; a frame whose trial index did not
/// advance carries no centroids) or "Read" (centroids always, and the file's tracks).
inline void ExpectFramesMatchTrial(const std::vector<VReceivedFrame>& frames, VX2DHolder& trial,
                                   std::uint32_t cameraIndex, const std::string& tracking)
{
    const std::uint32_t count = trial.GetFrameCount();
    ASSERT_GT(count, 0u);
    std::map<std::uint32_t, std::pair<VCentroidFrame, VCentroidTrackFrame>> cache;
    std::uint32_t mismatches = 0;
    for (std::size_t k = 0; k < frames.size() && mismatches < 10; ++k)
    {
        const VReceivedFrame& frame = frames[k];
        SCOPED_TRACE("frame " + std::to_string(frame.m_Frame));
        EXPECT_FALSE(frame.m_Malformed);
        if (k > 0)
        {
            EXPECT_EQ(frame.m_Frame, frames[k - 1].m_Frame + 1) << "frame numbers not consecutive";
            EXPECT_EQ(frame.m_Previous, frames[k - 1].m_Frame);
        }
        const std::uint32_t index = frame.m_Frame % count;
        const bool wrapped = index <= frame.m_Previous % count;
        auto [entry, inserted] = cache.try_emplace(index);
        if (inserted)
        {
            ASSERT_TRUE(trial.ReadFrame(index, &entry->second.first, &entry->second.second, nullptr,
                                        nullptr));
        }
        const ICentroidData* centroids = nullptr;
        std::uint32_t centroidCount = 0;
        entry->second.first.GetSetDirect(cameraIndex)->GetData(&centroids, &centroidCount, nullptr);
        const ICentroidTrackData* tracks = nullptr;
        std::uint32_t trackCount = 0;
        entry->second.second.GetSetDirect(cameraIndex)->GetData(&tracks, &trackCount);

        if (tracking == "Off" && wrapped)
            centroidCount = 0;
        if (tracking == "Off")
            trackCount = 0;
        EXPECT_EQ(frame.m_Tracking, tracking == "Off" ? 0u : 8u);
        EXPECT_EQ(frame.m_CentroidCount, centroidCount);
        EXPECT_EQ(frame.m_RecordBytes, 16 * (centroidCount + trackCount));
        if (frame.m_Centroids.size() != centroidCount || frame.m_Tracks.size() != trackCount)
        {
            ADD_FAILURE() << "trial frame " << index << ": " << frame.m_Centroids.size()
                          << " centroids and " << frame.m_Tracks.size() << " tracks, expected "
                          << centroidCount << " and " << trackCount;
            ++mismatches;
            continue;
        }
        constexpr double kStep = 1.0 / 256.0;
        for (std::uint32_t c = 0; c < centroidCount; ++c)
        {
            const Bytes& record = frame.m_Centroids[c];
            const bool close = std::fabs(I32(record, 4) / 256.0 - centroids[c].X) < kStep &&
                               std::fabs(I32(record, 8) / 256.0 - centroids[c].Y) < kStep &&
                               std::fabs(I32(record, 12) / 256.0 - centroids[c].Radius) < kStep &&
                               std::fabs(U16(record, 2) / 256.0 - centroids[c].Fraction) < kStep;
            if (!close)
            {
                ADD_FAILURE() << "trial frame " << index << " centroid " << c << ": x "
                              << I32(record, 4) / 256.0 << " vs " << centroids[c].X << ", y "
                              << I32(record, 8) / 256.0 << " vs " << centroids[c].Y;
                ++mismatches;
            }
        }
        for (std::uint32_t t = 0; t < trackCount; ++t)
        {
            const Bytes& record = frame.m_Tracks[t];
            const std::uint64_t id = static_cast<std::uint64_t>(U32(record, 8)) |
                                     (static_cast<std::uint64_t>(U32(record, 12)) << 32);
            const double confidence = tracks[t].Confidence * 65535.0;
            const bool same = U16(record, 2) == t &&
                              id == static_cast<std::uint64_t>(tracks[t].Id) &&
                              U16(record, 4) == static_cast<std::uint16_t>(tracks[t].Length) &&
                              std::fabs(U16(record, 6) - confidence) < 1.0;
            if (!same)
            {
                ADD_FAILURE() << "trial frame " << index << " track " << t << ": id " << id
                              << " vs " << tracks[t].Id;
                ++mismatches;
            }
        }
    }
}

} // namespace stream_test
