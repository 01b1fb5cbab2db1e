#include "Log.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string_view>

namespace ZEL
{
namespace
{

class VLogCategory final : public ILogCategory
{
public:
    VLogCategory(std::string name, int level) : m_Name(std::move(name)), m_Level(level) {}
    int GetLevel() const override { return m_Level.load(std::memory_order_relaxed); }
    const std::string& GetName() const override { return m_Name; }
    void SetLevel(int level) { m_Level.store(level, std::memory_order_relaxed); }

private:
    const std::string m_Name;
    std::atomic<int> m_Level;
};

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

class VLog final : public ILogCategorised
{
public:
    VLog()
    {
        if (const char* levels = std::getenv("TSM_LOG"))
            ApplyLevels(levels);
        const char* file = std::getenv("TSM_LOG_FILE");
        SetOutput(file != nullptr && *file != '\0' ? file : "-");
    }

    ~VLog() override { CloseOutput(); }

    void SetLevel(const std::string& name, int level) override
    {
        std::lock_guard lock(m_Lock);
        if (name == "*")
        {
            m_DefaultLevel = level;
            for (auto& category : m_Categories)
                category.SetLevel(level);
        }
        else
        {
            FindOrAdd(name).SetLevel(level);
        }
        m_AnyLevel.store(HasAnyLevel());
    }

    ILogCategory* GetCategory(const std::string& name) override
    {
        std::lock_guard lock(m_Lock);
        return &FindOrAdd(name);
    }

    void Write(const std::string& message, ILogCategory* category, int level, const char* file,
               int line) override
    {
        if (category == nullptr || category->GetLevel() < level)
            return;
        std::lock_guard lock(m_Lock);
        if (m_Output == nullptr || m_Closed.load())
            return;
        std::fprintf(m_Output, "[%s:%d] %s(%d): %s\n", category->GetName().c_str(), level,
                     file != nullptr ? file : "?", line, message.c_str());
        std::fflush(m_Output);
    }

    bool SetOutput(const std::string& path) override
    {
        std::lock_guard lock(m_Lock);
        CloseOutput();
        m_Closed.store(false);
        if (path.empty())
            return true;
        if (path == "-")
            m_Output = stderr;
        else
            m_Output = std::fopen(path.c_str(), "ae");
        m_OutputFd.store(m_Output != nullptr ? fileno(m_Output) : -1);
        return m_Output != nullptr;
    }

    // Runs in the crash signal handler, where the crashed thread may hold m_Lock in the
    // middle of a write: only atomics and write(2). The FILE stays open (fclose is not
    // safe here); every later Write sees m_Closed and drops its message.
    void Close(const char* message)
    {
        if (m_Closed.exchange(true))
            return;
        const int fd = m_OutputFd.load();
        if (fd < 0 || message == nullptr || !m_AnyLevel.load())
            return;
        WriteAll(fd, message, std::strlen(message));
        WriteAll(fd, "\n", 1);
    }

private:
    // Caller holds m_Lock. A deque keeps handed-out category pointers stable.
    VLogCategory& FindOrAdd(const std::string& name)
    {
        for (auto& category : m_Categories)
            if (category.GetName() == name)
                return category;
        return m_Categories.emplace_back(name, m_DefaultLevel);
    }

    // Caller holds m_Lock. Closing writes only when someone asked for a log at all.
    bool HasAnyLevel() const
    {
        if (m_DefaultLevel > 0)
            return true;
        for (const auto& category : m_Categories)
            if (category.GetLevel() > 0)
                return true;
        return false;
    }

    void ApplyLevels(std::string_view list)
    {
        while (!list.empty())
        {
            const auto comma = list.find(',');
            const std::string_view item = list.substr(0, comma);
            list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
            const auto equals = item.rfind('=');
            if (equals == std::string_view::npos)
                continue;
            const std::string name(Trim(item.substr(0, equals)));
            const std::string value(Trim(item.substr(equals + 1)));
            char* end = nullptr;
            const long level = std::strtol(value.c_str(), &end, 10);
            if (name.empty() || value.empty() || *end != '\0')
                continue;
            if (name == "*")
                m_DefaultLevel = static_cast<int>(level);
            else
                FindOrAdd(name).SetLevel(static_cast<int>(level));
        }
        m_AnyLevel.store(HasAnyLevel());
    }

    static void WriteAll(int fd, const char* text, size_t length)
    {
        while (length > 0)
        {
            const ssize_t written = ::write(fd, text, length);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return;
            text += written;
            length -= static_cast<size_t>(written);
        }
    }

    void CloseOutput()
    {
        m_OutputFd.store(-1);
        if (m_Output != nullptr && m_Output != stderr)
            std::fclose(m_Output);
        m_Output = nullptr;
    }

    std::mutex m_Lock; // guards m_Categories, m_DefaultLevel, m_Output
    std::deque<VLogCategory> m_Categories;
    int m_DefaultLevel = 0;
    std::FILE* m_Output = nullptr;
    // Copies that Close reads without the lock (it may run in a signal handler).
    std::atomic<int> m_OutputFd{-1};     // descriptor of m_Output, -1 when none
    std::atomic<bool> m_AnyLevel{false}; // HasAnyLevel() as of the last level change
    std::atomic<bool> m_Closed{false};   // set by Close, cleared by SetOutput
    static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
};

// The log once it exists, for CloseLog: a crash before anyone logged has nothing to close,
// and a signal handler must not run the allocation and guard of a first use.
std::atomic<VLog*> g_CreatedLog{nullptr};

VLog& TheLog()
{
    // Never destroyed: logging sites may run during static destruction.
    static VLog* log = []
    {
        auto* created = new VLog;
        g_CreatedLog.store(created);
        return created;
    }();
    return *log;
}

} // namespace

ILogCategorised& GlobalLog()
{
    return TheLog();
}

void CloseLog(const char* message)
{
    if (VLog* log = g_CreatedLog.load())
        log->Close(message);
}

std::string FormatLogText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0)
    {
        text.resize(static_cast<size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    return text;
}

} // namespace ZEL
