// The sync units a rig benchmark run adds beside its cameras, and the receiver that drains and
// checks their analogue frames.
#pragma once

#include <arpa/inet.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class VFakeDeviceManager;
class VFakeDevice;

/// Two sync units configured as a host would, through their shells:
/// - the X1D trial's unit, replaying its 64 channels at 3000 Hz ("samplerate -s 0 1 45000",
///   "anactl -a on", "capture on"): 30 instants × 64 channels a frame at 100 Hz (6 at 500 Hz);
/// - a synthetic unit at 180 kHz ("Card0Type" "Analogue", "samplerate -s 0 5 150", "capture
///   on"): 1800 instants of 1 channel a frame at 100 Hz (360 at 500 Hz).
/// A thread drains both data ports with recvmmsg and keeps each frame's trailer and the sample
/// bytes that came before it. Register the two class lists before Add and release them after
/// the manager is gone.
///
/// Threading contract: everything on the owner's thread except the receive thread, which
/// writes what Check and GetBytes read only after Stop. Not copyable.
class VSyncUnitLoad
{
public:
    /// The analogue trial the X1D unit replays: 64 channels at 1000 Hz, `frames` frames at
    /// 100 Hz. False with a message.
    static bool WriteTrial(const std::string& path, std::uint32_t frames, std::string& error);
    static bool RegisterClasses();
    static void ReleaseClasses();

    VSyncUnitLoad();
    ~VSyncUnitLoad();
    VSyncUnitLoad(const VSyncUnitLoad&) = delete;
    VSyncUnitLoad& operator=(const VSyncUnitLoad&) = delete;

    /// Appends both units to `manager`, connects and configures them for frames at `rate`
    /// Hz (what each frame must hold follows from it). False with `error`.
    bool Add(VFakeDeviceManager& manager, const std::string& trial, double rate,
             std::string& error);
    void Start();
    void Stop();

    /// Empty when both units sent every frame from `first` to `last` in order, each with its
    /// instants, channels and every sample byte its trailer announced; else what went wrong.
    std::string Check(std::uint32_t first, std::uint32_t last) const;
    /// Bytes received on both ports.
    std::uint64_t GetBytes() const { return m_Bytes; }

    /// Times the two units' sources on their own, sending into nothing: nanoseconds per frame
    /// (X1D unit, synthetic unit) over `frames` frames at 100 Hz.
    static void TimeSources(std::uint32_t frames, const std::string& trial, double& x1dNs,
                            double& synthNs);

private:
    struct VFrameSeen
    {
        std::uint32_t Frame = 0;
        std::uint16_t Instants = 0;
        std::uint16_t Channels = 0;
        bool Complete = false;
    };
    struct VPort
    {
        int Handle = -1;
        std::uint32_t DeviceId = 0;
        std::uint16_t Instants = 0; // expected per frame
        std::uint16_t Channels = 0;
        std::uint64_t PendingBytes = 0;
        std::vector<VFrameSeen> Frames;
    };

    void Run();
    void Receive(VPort& port, const std::uint8_t* data, std::size_t length);

    VPort m_Ports[2];
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
    std::uint64_t m_Bytes = 0; // receive thread
};
