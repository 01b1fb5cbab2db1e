// libFuzzer entry for the device shell: arbitrary command lines go to ProcessCommand of a
// real, connected camera or sync unit, as the shell's receive thread hands them on (the
// generic words "portset", "notify", "setframe", "syncmode", "datadisable", and each class's
// own). Whatever the host types, nothing may crash, hang, leak or read out of bounds.
//
// Input: the first byte picks the device (even: the camera, odd: the sync unit), the rest is
// lines separated by '\n'. One input is one shell session; after one that changed something
// the devices are put back as they started (free-running, preview off, freshly connected), so
// inputs do not depend on each other. Most inputs change nothing (a word no device knows, a
// query, a number that does not read), and putting back three devices costs several times
// what the session itself costs, so the rig is only put back when a parameter changed, a frame
// number moved or a word that changes other state was typed.
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

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace
{

/// Words whose effect is not (only) a parameter: data targets, fault plans, the sync unit's
/// capture and analogue set-up, frame-number marks. An input that holds one anywhere is put
/// back whatever it did.
constexpr std::array<std::string_view, 7> kStatefulWords = {
    "portset", "notify", "faults", "setframe", "capture", "anactl", "samplerate"};

/// A connected synthetic camera and sync unit beside a second camera that they tick when
/// master, under a manager without a socket. Made once, on the fuzzer's (main) thread, the devices'
/// owner thread, so their parameter changes run at once.
class VShellRig
{
public:
    VShellRig()
    {
        m_Manager = MakeQuietSyntheticManager();
        m_Manager->AddSyntheticCamera(2);
        m_Manager->AddSyntheticSyncUnit();
        m_Manager->AddSyntheticCamera(13);
        for (uint32_t i = 0; i < 3; ++i)
        {
            m_Devices[i] = std::dynamic_pointer_cast<VFakeDevice>(m_Manager->GetDevice(i));
            if (m_Devices[i] == nullptr || m_Devices[i]->GetParamList() == nullptr ||
                !m_Changes.Watch(*m_Devices[i]->GetParamList()))
                __builtin_trap();
        }
        Restore();
    }

    void Run(size_t device, const std::string& line)
    {
        std::string reply;
        m_Devices[device]->ProcessCommand(line, reply);
    }

    /// Puts the rig back when the session may have changed it. A pending sync mark is left
    /// alone: a reconnection keeps it too.
    void RestoreAfter(std::string_view session)
    {
        bool changed = m_Changes.TakeChanged();
        for (const std::string_view word : kStatefulWords)
            changed = changed || session.find(word) != std::string_view::npos;
        for (const std::shared_ptr<VFakeDevice>& device : m_Devices)
            changed = changed || device->GetNextFrameNumber() != 0 || device->IsSyncThreadRunning();
        if (changed)
            Restore();
    }

private:
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
        m_Changes.TakeChanged();
    }

    std::unique_ptr<VFakeDeviceManager> m_Manager;
    // The camera and the sync unit (the shells fuzzed), and the camera they tick as master.
    std::array<std::shared_ptr<VFakeDevice>, 3> m_Devices;
    VParamChangeFlag m_Changes;
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
    rig.RestoreAfter(text);
    return 0;
}
