// The line-oriented TCP command shell of a simulated device: a banner and prompt for each new
// host, then one answer, ended by the prompt, per command line.
#pragma once

#include "devices/IShellDevice.h"

#include "net/VSimpleConnection.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

/// Listens on the device's shell port and serves one host at a time; a new host always
/// replaces the attached one, which sees an orderly close. Each host first receives the
/// device's greeting followed by the prompt (23 bytes for the device base: "FakeZtDevice" and
/// "\nQuorvent $"); then every complete line (ended by a line feed, trimmed of blanks, tabs,
/// carriage returns and line feeds at both ends) goes to the device's ProcessCommand, and the
/// reply followed by the prompt goes back in one piece. A line cut short by the host's close
/// or a socket error gets no answer. A line longer than MaxLineLength bytes (its line feed
/// included) is read to its line feed without being kept and answered with the prompt alone,
/// so a host that never sends a line feed cannot make the shell's memory grow without bound.
///
/// Threading contract: constructed and destroyed on the device's owner thread (the main
/// thread), never from the device's shell calls. The greeting is written on the listener
/// thread before the receive thread reads (VSimpleConnection releases the receiver only after
/// OnConnected), so it always precedes the first answer. Process and ProcessCommand run on the
/// receive thread. Destruction stops listening and disconnects the attached host (graceful,
/// which wakes a blocked read or write at once), waiting for the receive thread to end. The
/// device must outlive the connection. Not copyable.
class VDeviceTelnetConnection : public VSimpleConnection
{
public:
    /// The prompt: line feed, "Quorvent", blank, dollar sign; no line feed after it.
    static constexpr const char* Prompt = "\nQuorvent $";
    /// Characters trimmed from both ends of a command line.
    static constexpr const char* TrimSet = " \t\n\r";
    /// The longest line, its line feed included, that the shell keeps.
    static constexpr size_t MaxLineLength = 64 * 1024;
    /// The shell port of position p is BasePort + p.
    static constexpr uint32_t BasePort = 9000;

    /// Starts listening on `port` (0: the system picks one, see GetListeningPort) of local
    /// `address` (network order) with no receive time-out and accept-while-busy. A rig's
    /// shells listen on the rig's own address only, so that rigs on several addresses of one
    /// machine each keep their ports; 0, or an address that is not this machine's, listens on
    /// every address.
    VDeviceTelnetConnection(IShellDevice& device, uint16_t port, uint32_t address = 0);
    ~VDeviceTelnetConnection() override;

    /// The shell port of a device at 1-based `position`: 9000 + position, as 16 bits.
    static uint16_t GetShellPort(uint32_t position)
    {
        return static_cast<uint16_t>(BasePort + position);
    }

    /// Removes the characters of TrimSet from both ends of `text`.
    static std::string Trim(const std::string& text);

    /// Lines discarded because they were too long, since construction. Any thread.
    uint64_t GetDiscardedLineCount() const;

protected:
    int Process() override;
    void OnConnected() override;
    void OnClosed() override {}

private:
    /// Writes `text` to the current host in one piece and flushes.
    void Write(VSocketDataStream& stream, const std::string& text);

    IShellDevice& m_Device;
    std::string m_Line; // receive thread only; kept to reuse its capacity
    std::atomic<uint64_t> m_DiscardedLines{0};
};
