// The sync unit of an X1D trial: the analogue data of the trial's first analogue device,
// replayed frame by frame.
#pragma once

#include "devices/VDeviceClassDefinitions.h"
#include "devices/syncunit/TDeviceSource.h"
#include "devices/syncunit/VFakeDeviceNet.h"
#include "devices/syncunit/VFakeSourceAnalogueX1D.h"
#include "sources/IFakeSourceParams.h"

#include <cstdint>
#include <memory>
#include <string>

class IParamDefinitionList;
class IString;
class VFakeDeviceManager;
class VX1DHolder;

/// The class-wide definition list of VFakeDeviceNetX1D, registered by start-up.
extern constinit VDeviceClassDefinitions VFakeDeviceNetX1DDefinitions;

/// `VFakeDeviceNetX1D`: "Card0Type" is "Analogue" from construction; "portset p" makes the
/// slot-0 card's source (VFakeSourceAnalogueX1D for the file's first analogue device), sending
/// to p itself. Disconnecting releases it.
///
/// Threading contract: as VFakeDeviceNet; the source lives in a TDeviceSource under the data
/// lock. The trial is shared with nobody else but read through its holder's lock. Create
/// through VFakeDevice::Create on the main thread after VFakeDeviceNetX1DDefinitions is
/// registered (otherwise the device is inert). Not copyable.
class VFakeDeviceNetX1D : private VDefinitionListKeeper, public VFakeDeviceNet
{
public:
    /// Fills the class-wide list: AddNetDefinitions.
    static bool AddDefinitions(IParamDefinitionList& list);

    /// `trial` may be null (a trial without frames). Addresses in network byte order. Main
    /// thread.
    VFakeDeviceNetX1D(VFakeDeviceManager& manager, std::shared_ptr<VX1DHolder> trial,
                      std::uint32_t deviceId, std::uint32_t position, std::uint32_t localAddress,
                      std::uint32_t halAddress);
    ~VFakeDeviceNetX1D() override;

    /// "X1D: ", "DeviceType", " ", "DeviceID".
    void GetDescription(IString& out) const override;

    const std::shared_ptr<VX1DHolder>& GetTrial() const { return m_Trial; }

protected:
    /// Releases the source.
    void OnDisconnected() override;
    /// "info", then VFakeDeviceNet's words.
    void OnTelnetCommand(const std::string& line, std::string& reply) override;
    void SetDataPort(std::uint32_t port) override;
    void OnSendFrame(std::uint32_t frame, std::uint32_t previous) override;

private:
    const std::shared_ptr<VX1DHolder> m_Trial;
    TDeviceParamReader<VFakeDevice> m_SourceParams{*this};
    TDeviceSource<VFakeSourceAnalogueX1D> m_Slot0{GetDataLock()};
};
