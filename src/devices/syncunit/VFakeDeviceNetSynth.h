// The synthetic sync unit: test-signal analogue data from its own card.
#pragma once

#include "devices/VDeviceClassDefinitions.h"
#include "devices/syncunit/TDeviceSource.h"
#include "devices/syncunit/VFakeDeviceNet.h"
#include "devices/syncunit/VFakeSourceAnalogueControl.h"
#include "sources/IFakeSourceParams.h"

#include <cstdint>
#include <string>

class IParamDefinitionList;
class IString;
class VFakeDeviceManager;

/// The class-wide definition list of VFakeDeviceNetSynth. Start-up does not register it;
/// whoever makes synthetic sync units registers it first.
extern constinit VDeviceClassDefinitions VFakeDeviceNetSynthDefinitions;

/// `VFakeDeviceNetSynth`: a sync unit whose analogue card sends a sine test signal of
/// "AnalogueSlot0TestSignalFreq" Hz (VFakeSourceAnalogueControl).
///
/// "Card0Type" starts as "Not populated" and is read-only while connected: a unit that is to
/// send analogue data has it set to "Analogue" before it connects. "portset p" then makes the
/// slot-0 card's source, sending to p + 3000 (16 bits); with another card type "portset"
/// changes nothing. The info report's "Slot1" line names the card type.
///
/// Threading contract: as VFakeDeviceNet; the source lives in a TDeviceSource under the data
/// lock (made on the shell's thread, used on the frame thread, released on the main thread).
/// Create through VFakeDevice::Create on the main thread after
/// VFakeDeviceNetSynthDefinitions is registered (otherwise the device is inert). Not copyable.
class VFakeDeviceNetSynth : private VDefinitionListKeeper, public VFakeDeviceNet
{
public:
    /// The synthetic card's data port offset from the "portset" port.
    static constexpr std::uint32_t AnaloguePortOffset = 3000;

    /// Fills the class-wide list: AddNetDefinitions, then "AnalogueSlot0TestSignalFreq".
    static bool AddDefinitions(IParamDefinitionList& list);

    /// Addresses in network byte order. Main thread.
    VFakeDeviceNetSynth(VFakeDeviceManager& manager, std::uint32_t deviceId, std::uint32_t position,
                        std::uint32_t localAddress, std::uint32_t halAddress);
    ~VFakeDeviceNetSynth() override;

    /// "Synth: ", "DeviceType", " ", "DeviceID".
    void GetDescription(IString& out) const override;

protected:
    /// Locks "Card0Type" (read-only).
    void OnConnected() override;
    /// Releases the card's source and unlocks "Card0Type".
    void OnDisconnected() override;
    /// "info", then VFakeDeviceNet's words.
    void OnTelnetCommand(const std::string& line, std::string& reply) override;
    void SetDataPort(std::uint32_t port) override;
    void OnSendFrame(std::uint32_t frame, std::uint32_t previous) override;

private:
    void SetCardTypeReadOnly(bool readOnly);

    TDeviceParamReader<VFakeDevice> m_SourceParams{*this};
    TDeviceSource<VFakeSourceAnalogueControl> m_Slot0{GetDataLock()};
};
