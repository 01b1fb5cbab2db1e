// The latency stream client: records when the rig sent each frame, matches the frame numbers
// that the host's data stream reports back, and keeps a histogram of the differences.
#pragma once

#include "devices/IStreamClient.h"
#include "params/IDestroyable.h"
#include "params/IParamListHandler.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class IEventManager;
class IParamList;
class VFakeZtCGClientCallback;
class VOrvanCGStreamClient;
class VParamDefinitionList;

/// "CG Client 1": a client of the host's data stream that measures the host's latency.
///
/// Parameters (own definition list "CGClient", "CG client parameters"): "Connected" (true
/// connects to "Host" and "Port", false disconnects), "Host", "Port", "Clear" (true empties
/// the timing, then reads false again), "Export" (true writes the histogram to "File", then
/// reads false again, whether or not the file could be written), "File".
///
/// Timing: OnFrameSent records the clock for each frame number the rig sends (a number at or
/// below one recorded means the numbers started again: the entries from it on are dropped
/// first), at most MaxSendTimes of them (the smallest numbers go first). OnFrameInfo looks the
/// number up, removes it and, when the clock has moved on since the send, counts the
/// difference in the histogram (latency in whole ms, rounded up, to number of frames);
/// unknown numbers are ignored. The clock is monotonic microseconds in 64 bits: a host that
/// answers within the millisecond it was sent a frame is still measured.
///
/// Threading contract. Three threads meet here: the master's sync thread (OnFrameSent, from
/// the manager's tick), the stream client's connection thread (OnFrameInfo and the loss of
/// the connection, through the callback) and the main thread (construction, destruction and
/// every parameter change: connect, disconnect, clear, export). m_Lock guards the two maps and
/// is never held while calling out. A lost connection is handed to the main thread through
/// the event system (Invoke), which sets "Connected" false there unless a newer connection
/// attempt is under way. The destructor joins the connection thread first, so the callback
/// (which reaches this object through a plain pointer) never outlives it; actions still
/// queued find it gone. Not copyable.
class VFakeZtCGClient final : public IStreamClient, public IParamListHandler
{
public:
    /// Monotonic microseconds; any thread.
    using ClockFunction = std::function<int64_t()>;

    static constexpr const char* Name = "CG Client 1";
    static constexpr size_t MaxSendTimes = 10000;
    /// The item types the client asks the host for: stream and frame information.
    static constexpr uint32_t RequestedTypes[] = {1, 5};

    /// The steady clock in whole microseconds.
    static int64_t MonotonicMicroseconds();

    /// `events` (not owned, may be null: a lost connection then only logs) runs the change
    /// of "Connected" after a lost connection; `clock` is read for every sent and every
    /// reported frame (tests give their own). Main thread.
    explicit VFakeZtCGClient(IEventManager* events, ClockFunction clock = &MonotonicMicroseconds);
    ~VFakeZtCGClient() override;
    VFakeZtCGClient(const VFakeZtCGClient&) = delete;
    VFakeZtCGClient& operator=(const VFakeZtCGClient&) = delete;

    const char* GetName() const { return Name; }
    /// The client's parameters (owned by the client). Main thread.
    IParamList* GetParamList() override { return m_Params.get(); }

    /// Records the send time of frame `frameNumber`. The master's sync thread.
    void OnFrameSent(uint32_t frameNumber) override;
    /// Frame `frameNumber` came back on the host's stream. The connection thread.
    void OnFrameInfo(uint32_t frameNumber);
    /// The connection could not be made or was lost: hands the change of "Connected" to
    /// the main thread. The connection thread.
    void OnConnectionLost();

    /// The parameter commands (see the class comment); always true (no change is refused).
    /// Main thread, inside the parameter change.
    bool OnParameterChanged(IParamList& list, IParam& param);
    bool AllowValueChange(IParamList& list, IParam& param) override
    {
        return OnParameterChanged(list, param);
    }

    /// Asks for RequestedTypes and starts connecting to `host` and `port`. Main thread.
    void Connect(const std::string& host, int32_t port);
    /// Ends the connection, if any. Main thread.
    void Disconnect();
    /// Empties the send times and the histogram. Any thread.
    void ClearTiming();
    /// Creates (or truncates) `file` and writes "Latency,Frequency", then one line
    /// "<latency>, <count>" per histogram entry in increasing latency. False, with nothing
    /// written, when the file cannot be opened or written. Any thread.
    bool ExportLatency(const std::string& file) const;

    /// Copies of the maps. Any thread.
    std::map<uint32_t, uint32_t> GetHistogram() const;
    std::map<uint32_t, int64_t> GetSendTimes() const;
    /// Whether the stream client is connected now. Any thread.
    bool IsStreamConnected() const;

private:
    /// Main thread: the action a lost connection posts.
    void ApplyConnectionLost();

    struct VLifeline; // lets queued actions find out that the client is gone

    const std::shared_ptr<VParamDefinitionList> m_Definitions;
    const TDestroyPtr<IParamList> m_Params;
    IEventManager* const m_Events;
    const ClockFunction m_Clock;
    const std::shared_ptr<VLifeline> m_Lifeline;
    std::shared_ptr<VFakeZtCGClientCallback> m_Callback;
    std::shared_ptr<VOrvanCGStreamClient> m_StreamClient;

    mutable std::mutex m_Lock; // guards m_SendTimes, m_Histogram
    std::map<uint32_t, int64_t> m_SendTimes;
    std::map<uint32_t, uint32_t> m_Histogram;
};
