// A thin IPv4 socket over POSIX sockets: TCP and UDP, options, multicast, and a poll()-based
// readiness wait.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

/// One IPv4 socket handle. A new object holds no socket; destruction closes an open one.
/// All operations return false (or -1 for the counting ones) on an unopened socket.
/// Sockets are created close-on-exec; sends never raise SIGPIPE (a lost peer is an error
/// return, EPIPE).
///
/// Threading contract: one owner thread creates, configures and closes the socket. Send and
/// Receive may run on two different threads at once. Interrupt() may be called from any thread
/// to wake a thread blocked in Receive, ReceiveFrom or Accept; the blocked thread (or the owner
/// after joining it) then closes. Close must not run while another thread still uses the
/// socket: on Linux a close() does not wake a blocked call, and the number may be reused.
/// Not copyable.
class VSocketSimple
{
public:
    /// Socket kinds accepted by Create.
    static constexpr uint32_t KindDatagram = 0; ///< UDP
    static constexpr uint32_t KindStream = 1;   ///< TCP
    /// Handle value of an unopened socket.
    static constexpr int InvalidHandle = -1;
    /// Time-out value meaning "wait without limit" for Select.
    static constexpr uint32_t Infinite = 0xFFFFFFFFu;
    /// Largest number of distinct sockets in each list given to Select.
    static constexpr size_t MaxSelectSockets = 1024;

    VSocketSimple() = default;
    virtual ~VSocketSimple();
    VSocketSimple(const VSocketSimple&) = delete;
    VSocketSimple& operator=(const VSocketSimple&) = delete;

    /// Opens an AF_INET socket of `kind` (KindDatagram or KindStream). Fails, leaving the
    /// object as it was, when already open or for any other kind.
    bool Create(uint32_t kind);
    bool IsValid() const { return m_Handle.load() != InvalidHandle; }
    int GetHandle() const { return m_Handle.load(); }
    /// The kind given to Create (or KindStream for an accepted socket).
    uint32_t GetKind() const { return m_Kind; }

    /// Binds to any local address and `port` (0: the system picks one).
    bool Bind(uint16_t port);
    /// Resolves `host` (see ResolveHost) and binds to that address and `port`.
    bool BindTo(const std::string& host, uint16_t port);
    /// Binds to an IPv4 address given in network byte order, as devices keep addresses.
    bool BindToAddress(uint32_t networkOrderAddress, uint16_t port);
    /// Binds to `networkOrderAddress` and `port` when the address is one of this machine's;
    /// when it is 0, or the system says it is not this machine's (EADDRNOTAVAIL), binds to
    /// every local address instead. `boundToAddress` (may be null) tells which happened.
    bool BindToAddressOrAny(uint32_t networkOrderAddress, uint16_t port,
                            bool* boundToAddress = nullptr);
    /// The local port after a bind or connect (host order), 0 on failure.
    uint16_t GetLocalPort() const;

    /// Stream sockets only.
    bool Listen(int backlog);
    /// Blocking accept. `target` must be unopened; it receives the new connection.
    bool Accept(VSocketSimple& target);

    /// Resolves and connects; on failure closes the socket.
    bool Connect(const std::string& host, uint16_t port);
    /// Connects without blocking longer than `timeoutMs` (0: no limit), then returns to
    /// blocking mode. On any failure closes the socket.
    bool ConnectWithTimeout(const std::string& host, uint16_t port, uint32_t timeoutMs);

    /// The platform calls, retried on EINTR. Return the byte count, or -1 on error (errno
    /// kept). Send and SendTo add MSG_NOSIGNAL.
    int Send(const void* data, size_t length, int flags = 0);
    int Receive(void* data, size_t length, int flags = 0);
    int SendTo(const void* data, size_t length, const sockaddr_in& destination, int flags = 0);
    /// `networkOrderAddress` and host-order `port` form the destination.
    int SendTo(const void* data, size_t length, uint32_t networkOrderAddress, uint16_t port,
               int flags = 0);
    int ReceiveFrom(void* data, size_t length, sockaddr_in& source, int flags = 0);

    /// Shuts the sending side. With `drain`, then reads and discards in 256-byte pieces until
    /// the peer closes or an error. True if no error.
    bool Shutdown(bool drain);
    /// Wakes any thread blocked in Receive, ReceiveFrom or Accept on this socket, from any
    /// thread, without closing it. `graceful`: shuts both directions, the peer sees an orderly
    /// end. Otherwise turns zero-time linger on and shuts only the receiving side, so that the
    /// later Close resets the connection. True if the socket was open and the shutdown worked.
    bool Interrupt(bool graceful);
    /// Closes the socket. When not `graceful`, first turns linger on with zero time so that
    /// the close is abortive. The handle becomes invalid.
    bool Close(bool graceful = true);

    /// Receive time-out, 0 = none.
    bool SetReceiveTimeout(uint32_t ms);
    /// Keep-alive on or off with the idle time and the probe interval (rounded up to seconds).
    bool SetKeepAlive(bool on, uint32_t timeMs, uint32_t intervalMs);
    bool SetNonBlocking(bool on);
    bool SetBroadcast(bool on);
    bool GetBroadcast(bool& on) const;
    bool SetNoDelay(bool on);
    bool GetNoDelay(bool& on) const;
    bool SetReuseAddress(bool on);
    bool GetReuseAddress(bool& on) const;

    bool SetMulticastLoop(bool on);
    bool SetMulticastTtl(uint8_t ttl);
    /// `interfaceAddress` in dotted form; empty: any interface.
    bool SetMulticastInterface(const std::string& interfaceAddress);
    /// Joins `group` (dotted form) on `interfaceAddress` (dotted; empty: any interface).
    bool JoinGroup(const std::string& group, const std::string& interfaceAddress);
    /// Leaves `group` on the interface it was joined on.
    bool LeaveGroup(const std::string& group);

    bool SetOption(int level, int name, const void* value, socklen_t length);
    bool GetOption(int level, int name, void* value, socklen_t& length) const;

    /// Waits until at least one socket of `readers` is readable (data, end of stream, a pending
    /// connection, or an error) or one of `writers` is writable, or `timeoutMs` passes
    /// (Infinite: no limit; 0: only test). Then removes from each list the sockets that are not
    /// ready; on time-out both lists end empty. False, lists untouched, on a poll error, an
    /// unopened socket, or more than MaxSelectSockets distinct sockets in a list.
    static bool Select(std::vector<VSocketSimple*>& readers, std::vector<VSocketSimple*>& writers,
                       uint32_t timeoutMs = Infinite);

    /// Resolves `host` to an IPv4 address in network byte order: a name lookup first, then the
    /// dotted-quad form. False if both fail.
    static bool ResolveHost(const std::string& host, uint32_t& networkOrderAddress);

private:
    bool SetFlag(int level, int name, bool on);
    bool GetFlag(int level, int name, bool& on) const;
    bool ConnectResolved(const std::string& host, uint16_t port, uint32_t timeoutMs,
                         bool limitTime);

    std::atomic<int> m_Handle{InvalidHandle}; // atomic: Interrupt reads it from other threads
    uint32_t m_Kind = KindDatagram;
    /// Joined multicast groups and their interfaces, network order; owner thread only.
    std::vector<std::pair<uint32_t, uint32_t>> m_Groups;
};
