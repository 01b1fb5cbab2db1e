// The general-purpose inputs and outputs of a sync unit and its remote start and stop
// triggers: the layer between the device base and the sync unit's network and analogue side.
#pragma once

#include "devices/VFakeDevice.h"
#include "devices/VFakeZtParamObserver.h"

#include <cstddef>
#include <cstdint>
#include <string>

class IParamDefinitionList;
class IParamList;
class VFakeDeviceManager;

/// `VFakeDeviceGPO`: inputs "GPI0" … "GPI3", outputs "GPO0" … "GPO<n − 1>", and the
/// "RemoteStart" and "RemoteStop" triggers (true until the trigger is sent).
///
/// Whenever one of the six inputs changes, the input status datagram (type 4, 28 bytes) goes
/// to the data target: the current frame number, the level of every input (bit 0 "GPI0" …
/// bit 3 "GPI3", bit 4 "RemoteStart", bit 5 "RemoteStop") and the bit of the input that
/// changed. The shell word "gpo" sets outputs: pairs of an index below 8 and "hi" or "lo".
///
/// Threading contract: as VFakeDevice. The six observers run on the main thread inside the
/// change (the mirror already holds the new value) and send through SendStatus, which takes
/// the data lock. OnTelnetCommand runs on the shell's receive thread and changes outputs
/// through the setters. Not copyable.
class VFakeDeviceGPO : public VFakeDevice
{
public:
    /// The class code of the sync unit in its awake-and-alive datagrams.
    static constexpr std::uint32_t SyncUnitClassCode = 2;
    /// The outputs the sync unit's definitions make.
    static constexpr std::uint32_t SyncUnitOutputs = 4;
    /// The inputs in the order of their status bits.
    static constexpr const char* InputKeys[] = {"GPI0", "GPI1",        "GPI2",
                                                "GPI3", "RemoteStart", "RemoteStop"};

    /// Adds the device base's definitions, then "GPI0" … "GPI3", "GPO0" … "GPO<outputs − 1>",
    /// "RemoteStart" and "RemoteStop" (group "Control"). False when any could not be added.
    /// Main thread, at start-up.
    static bool AddGPODefinitions(IParamDefinitionList& list, std::uint32_t outputs);

    ~VFakeDeviceGPO() override;
    VFakeDeviceGPO(const VFakeDeviceGPO&) = delete;
    VFakeDeviceGPO& operator=(const VFakeDeviceGPO&) = delete;

    /// The six input levels as the status datagram carries them. Any thread.
    std::uint16_t GetInputLevels() const;
    /// Sends the input status datagram with the changed-input bit of `index` (0 to 5; −1 for
    /// none). False when it did not go out (no data target yet). Any thread.
    bool SendInputStatus(std::int32_t index);

protected:
    /// The device base's arguments with class code 2; attaches the six observers (without
    /// delivering: a new device has no data target yet). Main thread.
    VFakeDeviceGPO(VFakeDeviceManager& manager, std::uint32_t deviceId, std::uint32_t position,
                   std::uint32_t localAddress, std::uint32_t halAddress, IParamList* params);

    /// "gpo" followed by pairs of an output index and "hi" or "lo": indices below 8 set
    /// "GPO<index>" true or false (indices beyond the outputs name no parameter and change
    /// nothing); a pair with another word is skipped. Other lines change nothing. No reply.
    void OnTelnetCommand(const std::string& line, std::string& reply) override;

    void OnGPI0Changed(bool) { SendInputStatus(0); }
    void OnGPI1Changed(bool) { SendInputStatus(1); }
    void OnGPI2Changed(bool) { SendInputStatus(2); }
    void OnGPI3Changed(bool) { SendInputStatus(3); }
    void OnRemoteStartChanged(bool) { SendInputStatus(4); }
    void OnRemoteStopChanged(bool) { SendInputStatus(5); }

private:
    template <void (VFakeDeviceGPO::*Operation)(bool)>
    using TInputObserver = VFakeZtParamObserver<VFakeDeviceGPO, bool, Operation>;

    TInputObserver<&VFakeDeviceGPO::OnGPI0Changed> m_GPI0Observer;
    TInputObserver<&VFakeDeviceGPO::OnGPI1Changed> m_GPI1Observer;
    TInputObserver<&VFakeDeviceGPO::OnGPI2Changed> m_GPI2Observer;
    TInputObserver<&VFakeDeviceGPO::OnGPI3Changed> m_GPI3Observer;
    TInputObserver<&VFakeDeviceGPO::OnRemoteStartChanged> m_RemoteStartObserver;
    TInputObserver<&VFakeDeviceGPO::OnRemoteStopChanged> m_RemoteStopObserver;
};
