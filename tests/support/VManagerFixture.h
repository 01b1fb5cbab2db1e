// A test fixture for devices made the way start-up makes them: their classes' definition
// lists registered and a manager that opens no socket.
#pragma once

#include "devices/VFakeDeviceManager.h"
#include "support/VTempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

class VDeviceClassDefinitions;
class VFakeDevice;

namespace testsupport
{

/// Registers the given device classes' definition lists for each test and makes a manager on
/// 127.0.0.1 without broadcast socket, event manager or connection parts: parameter changes on
/// the test's thread run at once and connecting opens no port. Devices are connected, enabled
/// and given their data port through their shell interpreter, as the HAL would do it. Also
/// gives each test a temporary folder. Runs on the test's thread.
class VManagerFixture : public ::testing::Test
{
protected:
    /// The classes to register; the objects are process-wide and outlive the fixture.
    explicit VManagerFixture(std::initializer_list<VDeviceClassDefinitions*> classes);

    void SetUp() override;
    void TearDown() override;

    /// Connects `device`, enables it as DATA_DISABLE and "datadisable false" would, and
    /// sends "portset <port>" through its shell interpreter.
    static void StartStreaming(VFakeDevice& device, std::uint32_t port);

    /// Produces the frame `frame` on `device` (the previous one is what it produced last).
    static void Tick(VFakeDevice& device, std::uint32_t frame);

    VTempDir m_Temp;
    std::unique_ptr<VFakeDeviceManager> m_Manager;

private:
    std::vector<VDeviceClassDefinitions*> m_Classes;
};

} // namespace testsupport
