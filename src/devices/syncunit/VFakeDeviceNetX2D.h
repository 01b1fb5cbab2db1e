// The sync unit of an X2D trial: the trial's start timecode, sent as timecode datagrams with
// every frame, and the timecode and genlock shell words.
#pragma once

#include "devices/VDeviceClassDefinitions.h"
#include "devices/syncunit/TDeviceSource.h"
#include "devices/syncunit/VFakeDeviceNet.h"
#include "devices/syncunit/VFakeSourceTimecode.h"
#include "sources/IFakeSourceParams.h"
#include "timecode/VStreamTimecode.h"
#include "timecode/VTimecode.h"

#include <cstdint>
#include <memory>
#include <string>

class IParamDefinitionList;
class IString;
class VFakeDeviceManager;
class VX2DHolder;

/// The class-wide definition list of VFakeDeviceNetX2D, registered by start-up.
extern constinit VDeviceClassDefinitions VFakeDeviceNetX2DDefinitions;

/// `VFakeDeviceNetX2D`: the timecode generator of an X2D trial's sync unit.
///
/// Its timecode is the trial's start timecode, read at construction; "StartTime" shows it as
/// text ("10:00:00:00"). "portset p", while "Timecode" holds, makes the timecode source (a
/// copy of the timecode's stream record) sending to p + 2000, taken as 16 bits. Each frame
/// sends the timecode datagram while "Enabled" and "SystemEnabled" hold and "Preview" does
/// not. "notify" and "tcctl -e on" send the timecode status datagram (type 5) with the
/// standard word of the timecode's stream code. "tcctl" with " -i ", " -d ", and "vidref"
/// with " -e ", " -i " are accepted and change nothing. "Card0Type" stays "Not populated".
///
/// Threading contract: as VFakeDeviceNet; the timecode source lives in a TDeviceSource under
/// the data lock, and the timecode record is fixed after construction. Create through
/// VFakeDevice::Create on the main thread after VFakeDeviceNetX2DDefinitions is registered
/// (otherwise the device is inert). Not copyable.
class VFakeDeviceNetX2D : private VDefinitionListKeeper, public VFakeDeviceNet
{
public:
    /// The timecode's destination port for "portset `port`": ((port + 62536) mod 65536) +
    /// 5000, as 16 bits, which is port + 2000 wrapped at 65536.
    static std::uint16_t TimecodePort(std::uint32_t port);

    /// Fills the class-wide list: AddNetDefinitions, then "Timecode", "StartTime" and
    /// "PanasonicAFrame".
    static bool AddDefinitions(IParamDefinitionList& list);

    /// `trial` may be null (no timecode: the record is invalid and nothing is sent).
    /// Addresses in network byte order. Main thread.
    VFakeDeviceNetX2D(VFakeDeviceManager& manager, std::shared_ptr<VX2DHolder> trial,
                      std::uint32_t deviceId, std::uint32_t position, std::uint32_t localAddress,
                      std::uint32_t halAddress);
    ~VFakeDeviceNetX2D() override;

    /// "X2D: ", "DeviceType", " ", "DeviceID".
    void GetDescription(IString& out) const override;

    /// The trial's start timecode and its stream record (Standard 0xFFFFFFFF when none).
    const VTimecode& GetTimecode() const { return m_Timecode; }
    const VStreamTimecode& GetStreamTimecode() const { return m_StreamTimecode; }

    /// Sends the timecode status datagram. False when it did not go out. Any thread.
    bool SendTimecodeStatus();

protected:
    /// Releases the timecode source.
    void OnDisconnected() override;
    /// "info", "tcctl", "vidref", then VFakeDeviceNet's words.
    void OnTelnetCommand(const std::string& line, std::string& reply) override;
    void SetDataPort(std::uint32_t port) override;
    /// VFakeDeviceNet's frame, then the timecode datagram.
    void OnFrame(std::uint32_t frame, std::uint32_t previous) override;
    void OnDataTargetChanged() override;

private:
    void TimecodeControl(const std::string& rest);

    const std::shared_ptr<VX2DHolder> m_Trial;
    VTimecode m_Timecode;
    VStreamTimecode m_StreamTimecode;
    TDeviceParamReader<VFakeDevice> m_SourceParams{*this};
    TDeviceSource<VFakeSourceTimecode> m_TimecodeSource{GetDataLock()};
};
