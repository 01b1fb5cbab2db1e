// A device stand-in that records, in a shared log, the broadcast datagrams the manager hands it.
#pragma once

#include "devices/IFakeDevice.h"
#include "support/VDatagramLog.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace testsupport
{

/// A device that records each datagram, tagged with its name, in a shared log,
/// and runs an optional action inside the dispatch.
class VRecordingDevice : public IFakeDevice
{
public:
    VRecordingDevice(std::string name, VDatagramLog& log) : m_Name(std::move(name)), m_Log(log) {}

    void OnBroadcastCommand(const uint8_t* data, size_t length) override
    {
        m_Log.Add(data, length, m_Name);
        if (m_DuringDispatch)
            m_DuringDispatch(data, length);
    }

    std::function<void(const uint8_t*, size_t)> m_DuringDispatch;

private:
    std::string m_Name;
    VDatagramLog& m_Log;
};

} // namespace testsupport
