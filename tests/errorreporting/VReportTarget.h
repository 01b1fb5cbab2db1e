// A live process to take minidumps of, standing in for a crashed program.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

/// A child of the test that, like a crashed program whose hand-off has run, holds a filled
/// crash record (SIGSEGV at address 0x10, the registers of its main thread), runs two more
/// threads, keeps HeapMarker in its heap only, allows any process to trace it, and waits.
/// The destructor kills and reaps it. Test thread only; not copyable.
class VReportTarget
{
public:
    /// A text that lies in the target's heap and nowhere else in its memory.
    static std::string HeapMarker();

    VReportTarget();
    ~VReportTarget();
    VReportTarget(const VReportTarget&) = delete;
    VReportTarget& operator=(const VReportTarget&) = delete;

    /// False when the child could not be started or did not get ready.
    bool IsRunning() const { return m_Pid > 0; }
    pid_t GetPid() const { return m_Pid; }
    /// Where its crash record lies (fork keeps the test's addresses).
    std::uint64_t GetRecordAddress() const;
    /// Where HeapMarker() lies in the target's memory.
    std::uint64_t GetHeapMarkerAddress() const { return m_HeapMarker; }
    /// The thread named by the record: the child's main thread.
    std::uint32_t GetCrashedThreadId() const { return static_cast<std::uint32_t>(m_Pid); }

private:
    pid_t m_Pid = -1;
    std::uint64_t m_HeapMarker = 0;
};
