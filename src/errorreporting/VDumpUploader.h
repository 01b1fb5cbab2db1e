// Uploads a minidump to the crash server by FTP (libcurl).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Where the crash server listens.
struct VCrashServer
{
    std::string m_Host;
    std::uint16_t m_Port = 21;
};

/// Reads "host", "host:port", "[v6-address]" or "[v6-address]:port". Empty for an empty or
/// malformed text (the upload then fails as if no server answered).
std::optional<VCrashServer> ParseCrashServer(std::string_view text);

/// How an upload ended.
enum class EUploadResult
{
    Sent,
    NoInternet, // the transfer library could not be set up
    NoFtpSite,  // no server, no connection, or the login was refused
    SendFailed, // logged in, but the file did not arrive
};

struct VUploadOutcome
{
    EUploadResult m_Result = EUploadResult::NoFtpSite;
    /// The server's last reply line (for SendFailed), or the library's error text when the
    /// server said nothing.
    std::string m_LastResponse;
};

/// Puts the file at `localPath` on `server` under "/" + `remoteName` as a binary transfer,
/// logged in with the crash server's account. Direct connection (no proxy); gives up when
/// the server does not answer within the time-outs (20 s to connect, 60 s without progress).
/// Blocking; any thread, one upload at a time per thread.
VUploadOutcome UploadDump(const std::optional<VCrashServer>& server, const std::string& localPath,
                          const std::string& remoteName);
