#include "app/VLatencyMonitor.h"

#include "devices/VFakeDeviceManager.h"
#include "params/ParamAccess.h"
#include "streamclient/LatencySummary.h"
#include "streamclient/VFakeZtCGClient.h"

#include <QTimer>

#include <charconv>

bool ParseLatencyTarget(const std::string& text, std::string& host, int32_t& port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || value < 1 || value > 65535 || *first == '+')
        return false;
    host = text.substr(0, colon);
    port = value;
    return true;
}

VLatencyMonitor::VLatencyMonitor(std::shared_ptr<VFakeZtCGClient> client)
    : m_Client(std::move(client)), m_Retry(std::make_unique<QTimer>())
{
    m_Retry->setInterval(RetryIntervalMs);
    QObject::connect(m_Retry.get(), &QTimer::timeout, [this] { Reconnect(); });
}

VLatencyMonitor::~VLatencyMonitor() = default;

std::unique_ptr<VLatencyMonitor> VLatencyMonitor::Start(VFakeDeviceManager& manager,
                                                        const std::string& host, int32_t port)
{
    auto client = std::dynamic_pointer_cast<VFakeZtCGClient>(manager.AddStreamClient());
    if (client == nullptr || client->GetParamList() == nullptr)
        return nullptr;
    IParamList& params = *client->GetParamList();
    SetParamValue<std::string>(params, "Host", host, true);
    SetParamValue<int32_t>(params, "Port", port, true);
    std::unique_ptr<VLatencyMonitor> monitor(new VLatencyMonitor(std::move(client)));
    monitor->Reconnect();
    monitor->m_Retry->start();
    return monitor;
}

void VLatencyMonitor::Reconnect()
{
    IParamList* params = m_Client->GetParamList();
    if (!GetParamValueOr<bool>(*params, "Connected", false))
        SetParamValue<bool>(*params, "Connected", true, true);
}

std::string VLatencyMonitor::Finish(std::FILE* err)
{
    m_Retry->stop();
    IParamList& params = *m_Client->GetParamList();
    // Disconnecting first stops the histogram, so the file and the line agree.
    SetParamValue<bool>(params, "Connected", false, true);
    const std::string file = GetParamValueOr<std::string>(params, "File", "");
    if (!m_Client->ExportLatency(file))
        std::fprintf(err, "tsmCL: could not write the latency histogram to %s\n", file.c_str());
    return FormatLatencySummary(m_Client->GetHistogram());
}
