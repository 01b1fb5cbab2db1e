// libFuzzer entry for the HAL's broadcast commands: arbitrary datagrams go through the device
// manager's dispatch (log line, length checks) to a real, connected sync unit and cameras,
// as the broadcast receive thread hands them on. Whatever arrives, nothing may read past the
// datagram, crash, hang or leak, and the rig must stay usable.
//
// Input: datagrams, each one byte of length (0 to 255) followed by that many bytes; a
// length running past the end takes what is left. One input is one exchange with the rig;
// after one that changed something the rig is put back as it started (no master, no preview,
// enabled), so inputs do not depend on each other. Most inputs change nothing (unknown codes,
// other devices' ids, short datagrams), and putting the rig back costs four dispatches, so it
// is only done when a parameter changed, a frame number moved, a clock runs or a device is
// no longer connected.
#include "devices/BroadcastCommand.h"
#include "devices/VDeviceClassDefinitions.h"
#include "devices/VFakeDevice.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraSynth.h"
#include "devices/loading/VTrialLoader.h"
#include "devices/syncunit/VFakeDeviceNetSynth.h"
#include "params/ParamAccess.h"
#include "support/QuietSyntheticManager.h"
#include "support/VParamChangeFlag.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{

/// The rig: a manager on loopback without a socket of its own, a synthetic sync unit and
/// three synthetic cameras of different models, connected. Made once, on the fuzzer's (main)
/// thread, which is the devices' owner thread, so their parameter changes run at once.
class VRig
{
public:
    VRig()
    {
        m_Manager = MakeQuietSyntheticManager();
        if (!m_Manager->AddSyntheticSyncUnit())
            __builtin_trap();
        for (const uint32_t model : {2u, 11u, 13u})
            m_Manager->AddSyntheticCamera(model);
        for (uint32_t i = 0; i < m_Manager->GetDeviceCount(); ++i)
        {
            const auto device = std::dynamic_pointer_cast<VFakeDevice>(m_Manager->GetDevice(i));
            if (device == nullptr || device->GetParamList() == nullptr ||
                !m_Changes.Watch(*device->GetParamList()))
                __builtin_trap();
            SetParamValue<bool>(*device->GetParamList(), "Connected", true, true);
            m_Devices.push_back(device);
        }
        Restore();
    }

    void Dispatch(const uint8_t* data, size_t length)
    {
        m_Manager->OnBroadcastCommand(data, length);
    }

    /// Back to the starting state when the exchange may have changed it. A pending sync mark
    /// is left alone: the MASTER that puts the rig back sets it anyway.
    void RestoreIfChanged()
    {
        bool changed = m_Changes.TakeChanged();
        for (const std::shared_ptr<VFakeDevice>& device : m_Devices)
            changed = changed || device->GetNextFrameNumber() != 0 ||
                      device->IsSyncThreadRunning() ||
                      !GetParamValueOr<bool>(*device->GetParamList(), "Connected", false);
        if (changed)
            Restore();
    }

private:
    /// Back to the starting state: every device connected, none master, preview off,
    /// enabled, frame 0.
    void Restore()
    {
        Send({BROADCAST_CMD_MASTER, BROADCAST_CMD_ALL_DEVICES, 0, 50, 0, 0});
        Send({BROADCAST_CMD_PREVIEW, BROADCAST_CMD_ALL_DEVICES, 0});
        Send({BROADCAST_CMD_DATA_DISABLE, 0});
        Send({BROADCAST_CMD_FRAME_NUMBER, 0});
        for (uint32_t i = 0; i < m_Manager->GetDeviceCount(); ++i)
        {
            const std::shared_ptr<IFakeDevice> device = m_Manager->GetDevice(i);
            SetParamValue<bool>(*device->GetParamList(), "Connected", true, true);
        }
        m_Changes.TakeChanged();
    }

    void Send(std::initializer_list<uint32_t> words)
    {
        std::array<uint8_t, 64> bytes{};
        size_t index = 0;
        for (const uint32_t word : words)
            StoreBroadcastWord(bytes.data(), index++, word);
        Dispatch(bytes.data(), 4 * index);
    }

    std::unique_ptr<VFakeDeviceManager> m_Manager;
    std::vector<std::shared_ptr<VFakeDevice>> m_Devices;
    VParamChangeFlag m_Changes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static VRig rig;
    size_t at = 0;
    while (at < size)
    {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        ++at;
        // An exact-size copy, so that the sanitizer catches any read past the datagram.
        const std::unique_ptr<uint8_t[]> datagram(new uint8_t[length > 0 ? length : 1]);
        std::copy(data + at, data + at + length, datagram.get());
        rig.Dispatch(datagram.get(), length);
        at += length;
    }
    rig.RestoreIfChanged();
    return 0;
}
