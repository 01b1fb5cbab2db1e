#include "streamclient/VFakeZtCGClient.h"

#include "cgstream/VOrvanCGStreamClient.h"
#include "Core/Corvid/Framework/EventSystem/Invoke.h"
#include "devices/VDefinitionBuilder.h"
#include "lumen/Log.h"
#include "params/ParamAccess.h"
#include "params/VParamDefinitionList.h"
#include "streamclient/VFakeZtCGClientCallback.h"

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <limits>

struct VFakeZtCGClient::VLifeline
{
    std::atomic<VFakeZtCGClient*> m_Client{nullptr};
};

namespace
{

constexpr const char* kConnected = "Connected";
constexpr const char* kHost = "Host";
constexpr const char* kPort = "Port";
constexpr const char* kClear = "Clear";
constexpr const char* kExport = "Export";
constexpr const char* kFile = "File";
constexpr int64_t kMicrosecondsPerMillisecond = 1000;

/// The client's definition list, filled; null when a definition could not be added.
std::shared_ptr<VParamDefinitionList> MakeDefinitions()
{
    auto list = std::make_shared<VParamDefinitionList>("CGClient", "CG client parameters",
                                                       "Description", "General");
    VDefinitionBuilder builder(*list);
    builder.Add<bool>(
        {kConnected, "Connected", "Defines whether the CG client is connected.", "Connection"},
        false);
    builder.Add<std::string>({kHost, "Host", "Host name to connect to.", "Connection"},
                             "localhost");
    builder.Add<int32_t>({kPort, "Port", "Port to connect on.", "Connection"}, 801);
    builder.Add<bool>({kClear, "Clear", "Clear timing.", "Timing"}, false);
    builder.Add<bool>({kExport, "Export", "Export latency info.", "Timing"}, false);
    // In the working directory: the rig runs on any machine, not only where C: exists.
    builder.Add<std::string>({kFile, "File", "File to export latency info.", "Timing"},
                             "Latency.csv");
    return builder.IsComplete() ? list : nullptr;
}

bool IsKey(const IParam& param, const char* key)
{
    return std::string(param.GetKey()) == key;
}

} // namespace

int64_t VFakeZtCGClient::MonotonicMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

VFakeZtCGClient::VFakeZtCGClient(IEventManager* events, ClockFunction clock)
    : m_Definitions(MakeDefinitions()),
      m_Params(m_Definitions != nullptr ? m_Definitions->CreateParamList() : nullptr),
      m_Events(events), m_Clock(clock ? std::move(clock) : ClockFunction(&MonotonicMicroseconds)),
      m_Lifeline(std::make_shared<VLifeline>())
{
    m_Lifeline->m_Client = this;
    m_Callback = std::make_shared<VFakeZtCGClientCallback>(*this);
    m_StreamClient = std::make_shared<VOrvanCGStreamClient>(m_Callback);
    if (m_Params != nullptr)
        m_Params->SetGuard(this);
}

VFakeZtCGClient::~VFakeZtCGClient()
{
    // Joins the connection thread: no callback reaches this object after it.
    m_StreamClient.reset();
    m_Callback.reset();
    m_Lifeline->m_Client = nullptr;
    if (m_Params != nullptr)
        m_Params->ClearGuard(this);
}

void VFakeZtCGClient::OnFrameSent(uint32_t frameNumber)
{
    std::lock_guard lock(m_Lock);
    const int64_t now = m_Clock();
    // A number at or below one already recorded: the numbers started again.
    m_SendTimes.erase(m_SendTimes.lower_bound(frameNumber), m_SendTimes.end());
    m_SendTimes.emplace_hint(m_SendTimes.end(), frameNumber, now);
    while (m_SendTimes.size() > MaxSendTimes)
        m_SendTimes.erase(m_SendTimes.begin());
}

void VFakeZtCGClient::OnFrameInfo(uint32_t frameNumber)
{
    const int64_t now = m_Clock();
    std::lock_guard lock(m_Lock);
    const auto sent = m_SendTimes.find(frameNumber);
    if (sent == m_SendTimes.end())
        return;
    const int64_t sentAt = sent->second;
    m_SendTimes.erase(sent);
    if (sentAt >= now)
        return;
    // Whole milliseconds, rounded up: bin L holds the frames that took more than L - 1 and
    // at most L ms, so a host faster than a millisecond still shows (in bin 1).
    const int64_t latency = std::min<int64_t>((now - sentAt + kMicrosecondsPerMillisecond - 1) /
                                                  kMicrosecondsPerMillisecond,
                                              std::numeric_limits<uint32_t>::max());
    ++m_Histogram[static_cast<uint32_t>(latency)];
}

void VFakeZtCGClient::OnConnectionLost()
{
    if (m_Events == nullptr)
    {
        ZEL_LOG("Stream client", 2, "%s: the connection was lost; no event manager to report it",
                Name);
        return;
    }
    Orvan::EventSystem::Invoke(m_Events,
                               [lifeline = m_Lifeline]
                               {
                                   if (VFakeZtCGClient* client = lifeline->m_Client.load())
                                       client->ApplyConnectionLost();
                               });
}

void VFakeZtCGClient::ApplyConnectionLost()
{
    // A loss reported after "Connected" started a newer attempt belongs to the old one.
    if (m_Params == nullptr ||
        m_StreamClient->GetState() != VOrvanCGStreamClient::EState::Unconnected)
        return;
    SetParamValue<bool>(*m_Params, kConnected, false, false);
}

bool VFakeZtCGClient::OnParameterChanged(IParamList& list, IParam& param)
{
    bool on = false;
    if (!GetValidParamValue<bool>(param, on))
        return true; // "Host", "Port" and "File" are read when they are needed
    if (IsKey(param, kConnected))
    {
        if (on)
            Connect(GetParamValueOr<std::string>(list, kHost, ""),
                    GetParamValueOr<int32_t>(list, kPort, 0));
        else
            Disconnect();
    }
    else if (IsKey(param, kClear) && on)
    {
        ClearTiming();
        // Nested in this change: the parameter reads false again when it ends.
        SetParamValue<bool>(param, false, false);
    }
    else if (IsKey(param, kExport) && on)
    {
        ExportLatency(GetParamValueOr<std::string>(list, kFile, ""));
        SetParamValue<bool>(param, false, false);
    }
    return true;
}

void VFakeZtCGClient::Connect(const std::string& host, int32_t port)
{
    m_StreamClient->SetRequestedTypes(
        std::set<uint32_t>(std::begin(RequestedTypes), std::end(RequestedTypes)));
    m_StreamClient->Connect(host, port);
}

void VFakeZtCGClient::Disconnect()
{
    m_StreamClient->Disconnect();
}

void VFakeZtCGClient::ClearTiming()
{
    std::lock_guard lock(m_Lock);
    m_SendTimes.clear();
    m_Histogram.clear();
}

bool VFakeZtCGClient::ExportLatency(const std::string& file) const
{
    // Written from a copy: the frame clock never waits for the disk.
    const std::map<uint32_t, uint32_t> histogram = GetHistogram();
    std::FILE* out = file.empty() ? nullptr : std::fopen(file.c_str(), "w");
    if (out == nullptr)
        return false;
    bool written = std::fputs("Latency,Frequency\n", out) >= 0;
    for (const auto& [latency, count] : histogram)
        written = written && std::fprintf(out, "%" PRIu32 ", %" PRIu32 "\n", latency, count) > 0;
    return std::fclose(out) == 0 && written;
}

std::map<uint32_t, uint32_t> VFakeZtCGClient::GetHistogram() const
{
    std::lock_guard lock(m_Lock);
    return m_Histogram;
}

std::map<uint32_t, int64_t> VFakeZtCGClient::GetSendTimes() const
{
    std::lock_guard lock(m_Lock);
    return m_SendTimes;
}

bool VFakeZtCGClient::IsStreamConnected() const
{
    return m_StreamClient->GetState() == VOrvanCGStreamClient::EState::Connected;
}
