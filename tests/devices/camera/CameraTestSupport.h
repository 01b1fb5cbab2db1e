// Helpers for the camera tests: a concrete camera that opens its protected hooks, and
// a fixture with the camera definition list and a manager that opens no socket.
#pragma once

#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCamera.h"
#include "params/IString.h"
#include "params/ParamAccess.h"
#include "params/VParamDefinitionList.h"
#include "support/BroadcastDatagrams.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace camera_test
{

using testsupport::Datagram;

constexpr uint32_t kLocalAddress = 0x7F000001u; // 127.0.0.1, host order
constexpr uint32_t kHalAddress = 0x7F000001u;   // 127.0.0.1, host order

/// A camera without data sources: its frame hooks do nothing, and the hooks the
/// tests drive are public.
class VTestCamera : public VFakeDeviceCamera
{
public:
    VTestCamera(VFakeDeviceManager& manager, uint32_t deviceId, uint32_t position,
                IParamList* params)
        : VFakeDeviceCamera(manager, deviceId, position, htonl(kLocalAddress), htonl(kHalAddress),
                            params)
    {
    }

    void GetDescription(IString& out) const override { out.Assign("Test camera"); }

    using VFakeDeviceCamera::OnClassBroadcastCommand;
    using VFakeDeviceCamera::OnTelnetCommand;

    /// The reply to one shell line.
    std::string Telnet(const std::string& line)
    {
        std::string reply;
        OnTelnetCommand(line, reply);
        return reply;
    }

    /// Hands the big-endian `words` to the camera's own broadcast handling.
    void ClassCommand(std::initializer_list<uint32_t> words)
    {
        const std::vector<uint8_t> bytes = Datagram(words);
        OnClassBroadcastCommand(bytes.data(), bytes.size());
    }

    std::string Text(const char* key) const { return GetParamOr<std::string>(key, "<none>"); }
    int32_t Int(const char* key) const { return GetParamOr(key, int32_t{-12345}); }
    bool Bool(const char* key) const { return GetParamOr(key, false); }

protected:
    void SetDataPort(uint32_t) override {}
    void OnFrame(uint32_t, uint32_t) override {}
};

/// A camera definition list and a manager without broadcast socket, event manager or
/// connection parts: parameter changes requested on the test's thread run at once and
/// connecting opens no port.
class CameraFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(VFakeDeviceCamera::AddCameraDefinitions(m_Definitions));
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        m_Manager = std::make_unique<VFakeDeviceManager>(nullptr, htonl(kLocalAddress),
                                                         htonl(kHalAddress), options);
    }
    void TearDown() override { m_Manager.reset(); }

    /// A camera appended to the manager at the next position.
    std::shared_ptr<VTestCamera> AddCamera(uint32_t deviceId)
    {
        const uint32_t position = m_Manager->GetDeviceCount() + 1;
        auto camera = VFakeDevice::Create<VTestCamera>(*m_Manager, deviceId, position,
                                                       m_Definitions.CreateParamList());
        m_Manager->AddDevice(camera);
        return camera;
    }

    /// A checked set of a text parameter, as the host's property editing does.
    static bool SetChecked(VFakeDevice& device, const char* key, const std::string& value)
    {
        return SetParamValue<std::string>(*device.GetParamList(), key, value, true);
    }
    static bool SetChecked(VFakeDevice& device, const char* key, int32_t value)
    {
        return SetParamValue<int32_t>(*device.GetParamList(), key, value, true);
    }
    static bool Connect(VFakeDevice& device, bool connected = true)
    {
        return SetParamValue<bool>(*device.GetParamList(), "Connected", connected, true);
    }

    VParamDefinitionList m_Definitions{"Camera", "Camera parameters", "Description", "Camera"};
    std::unique_ptr<VFakeDeviceManager> m_Manager;
};

} // namespace camera_test
