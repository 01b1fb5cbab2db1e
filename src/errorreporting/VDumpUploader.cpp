#include "errorreporting/VDumpUploader.h"

#include "errorreporting/ReporterTexts.h"

#include <curl/curl.h>

#include <charconv>
#include <cstdio>
#include <memory>

namespace
{

constexpr long ConnectTimeoutSeconds = 20;
constexpr long StallSeconds = 60;

/// What the server said, seen through libcurl's header callback (for FTP: every reply line).
struct VReplies
{
    std::string m_Last;
    bool m_LoggedIn = false;
};

size_t OnReply(char* data, size_t size, size_t count, void* user)
{
    auto* replies = static_cast<VReplies*>(user);
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.starts_with("230"))
        replies->m_LoggedIn = true;
    if (!line.empty())
        replies->m_Last = line;
    return size * count;
}

struct VCurlDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct VFileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

std::optional<VCrashServer> ParseCrashServer(std::string_view text)
{
    VCrashServer server;
    std::string_view port;
    if (text.starts_with('['))
    {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close == 1)
            return std::nullopt;
        server.m_Host = std::string(text.substr(0, close + 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && (rest[0] != ':' || rest.size() == 1))
            return std::nullopt;
        port = rest.empty() ? rest : rest.substr(1);
    }
    else
    {
        const auto colon = text.find(':');
        if (colon != text.rfind(':'))
            return std::nullopt; // a bare IPv6 address needs its brackets
        server.m_Host = std::string(text.substr(0, colon));
        if (colon != std::string_view::npos)
        {
            port = text.substr(colon + 1);
            if (port.empty())
                return std::nullopt;
        }
    }
    if (server.m_Host.empty())
        return std::nullopt;
    if (!port.empty())
    {
        unsigned value = 0;
        const auto result = std::from_chars(port.data(), port.data() + port.size(), value);
        if (result.ec != std::errc() || result.ptr != port.data() + port.size() || value == 0 ||
            value > 65535)
            return std::nullopt;
        server.m_Port = static_cast<std::uint16_t>(value);
    }
    return server;
}

VUploadOutcome UploadDump(const std::optional<VCrashServer>& server, const std::string& localPath,
                          const std::string& remoteName)
{
    VUploadOutcome outcome;
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
    {
        outcome.m_Result = EUploadResult::NoInternet;
        return outcome;
    }
    std::unique_ptr<CURL, VCurlDeleter> curl(curl_easy_init());
    if (!curl)
    {
        outcome.m_Result = EUploadResult::NoInternet;
        return outcome;
    }
    if (!server)
        return outcome; // NoFtpSite
    std::unique_ptr<std::FILE, VFileCloser> file(std::fopen(localPath.c_str(), "rbe"));
    if (!file)
    {
        outcome.m_Result = EUploadResult::SendFailed;
        outcome.m_LastResponse = "cannot read " + localPath;
        return outcome;
    }
    std::fseek(file.get(), 0, SEEK_END);
    const long size = std::ftell(file.get());
    std::fseek(file.get(), 0, SEEK_SET);

    // "%2F" makes the path absolute: the file goes to the server's root, not the login folder.
    char* escaped =
        curl_easy_escape(curl.get(), remoteName.c_str(), static_cast<int>(remoteName.size()));
    const std::string url = "ftp://" + server->m_Host + ":" + std::to_string(server->m_Port) +
                            "/%2F" + (escaped != nullptr ? escaped : "") + ".dmp";
    curl_free(escaped);

    VReplies replies;
    char error[CURL_ERROR_SIZE] = {};
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERNAME, ReporterTexts::ServerAccount);
    curl_easy_setopt(handle, CURLOPT_PASSWORD, ReporterTexts::ServerAccount);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, ReporterTexts::UploadAgent);
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(handle, CURLOPT_READDATA, file.get());
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnReply);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &replies);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, StallSeconds);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_OK)
    {
        outcome.m_Result = EUploadResult::Sent;
        return outcome;
    }
    outcome.m_Result = replies.m_LoggedIn ? EUploadResult::SendFailed : EUploadResult::NoFtpSite;
    outcome.m_LastResponse = !replies.m_Last.empty() ? replies.m_Last
                             : error[0] != '\0'      ? std::string(error)
                                                     : std::string(curl_easy_strerror(result));
    return outcome;
}
