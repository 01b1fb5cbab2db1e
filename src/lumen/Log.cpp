#include "Log.h"

#include <cstdio>
#include <cstdlib>
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
            return;
        }
        FindOrAdd(name).SetLevel(level);
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
        if (m_Output == nullptr)
            return;
        std::fprintf(m_Output, "[%s:%d] %s(%d): %s\n", category->GetName().c_str(), level,
                     file != nullptr ? file : "?", line, message.c_str());
        std::fflush(m_Output);
    }

    bool SetOutput(const std::string& path) override
    {
        std::lock_guard lock(m_Lock);
        CloseOutput();
        if (path.empty())
            return true;
        if (path == "-")
        {
            m_Output = stderr;
            return true;
        }
        m_Output = std::fopen(path.c_str(), "ae");
        return m_Output != nullptr;
    }

    void Close(const char* message)
    {
        std::lock_guard lock(m_Lock);
        if (m_Output != nullptr && message != nullptr && HasAnyLevel())
        {
            std::fprintf(m_Output, "%s\n", message);
            std::fflush(m_Output);
        }
        CloseOutput();
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
    }

    void CloseOutput()
    {
        if (m_Output != nullptr && m_Output != stderr)
            std::fclose(m_Output);
        m_Output = nullptr;
    }

    std::mutex m_Lock; // guards m_Categories, m_DefaultLevel, m_Output
    std::deque<VLogCategory> m_Categories;
    int m_DefaultLevel = 0;
    std::FILE* m_Output = nullptr;
};

VLog& TheLog()
{
    // Never destroyed: logging sites may run during static destruction.
    static VLog* log = new VLog;
    return *log;
}

} // namespace

ILogCategorised& GlobalLog()
{
    return TheLog();
}

void CloseLog(const char* message)
{
    TheLog().Close(message);
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
