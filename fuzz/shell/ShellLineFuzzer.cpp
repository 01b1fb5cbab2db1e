// libFuzzer entry for the device shell: arbitrary command lines go to ProcessCommand of a
// real, connected camera or sync unit, as the shell's receive thread hands them on (the
// generic words "portset", "notify", "setframe", "syncmode", "datadisable", and each class's
// own). Whatever the host types, nothing may crash, hang, leak or read out of bounds.
//
// Input: the first byte picks the device (even: the camera, odd: the sync unit), the rest is
// lines separated by '\n'. One input is one shell session; after it the devices are put back
// as they started (free-running, preview off, freshly connected), so inputs do not depend on
// each other.
#include "devices/VDeviceClassDefinitions.h"
#include "devices/VFakeDevice.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraSynth.h"
#include "devices/loading/VTrialLoader.h"
#include "devices/syncunit/VFakeDeviceNetSynth.h"
#include "params/ParamAccess.h"

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace
{

/// A connected synthetic camera and sync unit beside a second camera that they tick when
/// master, under a manager without a socket. Made once, on the fuzzer's (main) thread, the devices'
/// owner thread, so their parameter changes run at once.
class VShellRig
{
public:
    VShellRig()
    {
        // Every command is echoed on the console; that would cost more than the command.
        if (std::freopen("/dev/null", "w", stdout) == nullptr)
            __builtin_trap();
        if (VFakeDeviceCameraSynthDefinitions.Register() == nullptr ||
            VFakeDeviceNetSynthDefinitions.Register() == nullptr)
            __builtin_trap();
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        options.m_DeviceLoader = std::make_shared<VTrialLoader>();
        const uint32_t loopback = htonl(0x7F000001u);
        m_Manager = std::make_unique<VFakeDeviceManager>(nullptr, loopback, loopback, options);
        m_Manager->AddSyntheticCamera(2);
        m_Manager->AddSyntheticSyncUnit();
        m_Manager->AddSyntheticCamera(13);
        for (uint32_t i = 0; i < 2; ++i)
        {
            m_Shells[i] = std::dynamic_pointer_cast<VFakeDevice>(m_Manager->GetDevice(i));
            if (m_Shells[i] == nullptr)
                __builtin_trap();
        }
        Restore();
    }

    void Run(size_t device, const std::string& line)
    {
        std::string reply;
        m_Shells[device]->ProcessCommand(line, reply);
    }

    void Restore()
    {
        for (uint32_t i = 0; i < m_Manager->GetDeviceCount(); ++i)
        {
            IParamList& params = *m_Manager->GetDevice(i)->GetParamList();
            SetParamValue<int32_t>(params, "SyncMode", VFakeDevice::SyncModeFreeRunning, false);
            SetParamValue<bool>(params, "PreviewMode", false, false);
            // A reconnection drops what "portset" made.
            SetParamValue<bool>(params, "Connected", false, true);
            SetParamValue<bool>(params, "Connected", true, true);
        }
    }

private:
    std::unique_ptr<VFakeDeviceManager> m_Manager;
    std::shared_ptr<VFakeDevice> m_Shells[2]; // the camera, the sync unit
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static VShellRig rig;
    if (size == 0)
        return 0;
    const size_t device = data[0] % 2;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t start = 0;
    while (start <= text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        rig.Run(device, text.substr(start, end - start));
        start = end + 1;
    }
    rig.Restore();
    return 0;
}
