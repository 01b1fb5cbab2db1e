// tsmCL's "-latency" option: the latency stream client that it creates, keeps connected and
// reports at exit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class QTimer;
class VFakeDeviceManager;
class VFakeZtCGClient;

/// Reads "<host>:<port>" (the host a name or an address, not empty; the port 1 to 65535 in
/// decimal). False, with the outputs untouched, for anything else.
bool ParseLatencyTarget(const std::string& text, std::string& host, int32_t& port);

/// Creates the manager's stream client, points it at a host and port and sets "Connected"
/// true; then, once a second, sets "Connected" true again when a refused or lost connection
/// has made it false, so tsmCL may start before its host. Finish exports the histogram to the
/// client's "File" and gives the one summary line.
///
/// Threading contract: main thread only (the timer runs on its event loop). The manager must
/// outlive the monitor. Not copyable.
class VLatencyMonitor
{
public:
    static constexpr int RetryIntervalMs = 1000;

    VLatencyMonitor(const VLatencyMonitor&) = delete;
    VLatencyMonitor& operator=(const VLatencyMonitor&) = delete;
    ~VLatencyMonitor();

    /// Adds the stream client to `manager` (whose factory must make a VFakeZtCGClient) and
    /// starts connecting. Null when no client could be made.
    static std::unique_ptr<VLatencyMonitor> Start(VFakeDeviceManager& manager,
                                                  const std::string& host, int32_t port);

    /// Stops trying again, disconnects, exports the histogram to "File" (a file that cannot
    /// be written is reported on `err`) and returns the summary line (no line end). Call once,
    /// before the manager goes.
    std::string Finish(std::FILE* err);

    VFakeZtCGClient& GetClient() const { return *m_Client; }

private:
    explicit VLatencyMonitor(std::shared_ptr<VFakeZtCGClient> client);
    void Reconnect();

    const std::shared_ptr<VFakeZtCGClient> m_Client;
    std::unique_ptr<QTimer> m_Retry;
};
