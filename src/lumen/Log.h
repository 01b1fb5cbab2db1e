// Stand-in for the maker's logging library: a process-wide log of named
// categories, each with its own level, written to standard error or a file.
#pragma once

#include <atomic>
#include <cstdarg>
#include <string>

namespace ZEL
{

/// One log category. Handles live as long as the process; callers never free them.
/// Thread-safe: GetLevel may be called from any thread at any time.
class ILogCategory
{
public:
    virtual ~ILogCategory() = default;
    /// The category's current level; messages of a higher level are not written.
    virtual int GetLevel() const = 0;
    virtual const std::string& GetName() const = 0;
};

/// The process-wide categorised log. Every operation is safe from any thread.
class ILogCategorised
{
public:
    virtual ~ILogCategorised() = default;
    /// Sets a category's level, creating the category when it is new.
    virtual void SetLevel(const std::string& category, int level) = 0;
    /// Looks a category up by name, creating it at the default level when it is new.
    /// Never returns null; the handle stays valid for the rest of the process.
    virtual ILogCategory* GetCategory(const std::string& name) = 0;
    /// Writes one message when the category's level is at least `level`.
    virtual void Write(const std::string& message, ILogCategory* category, int level,
                       const char* file, int line) = 0;
    /// Redirects output: to the named file (appending), or to standard error for "-";
    /// an empty path writes nothing. Returns false when the file cannot be opened.
    virtual bool SetOutput(const std::string& path) = 0;
};

/// The log. Configured on first use from the environment:
///   TSM_LOG="X2DImport=4,Event System=5"  levels per category ("*" sets the default)
///   TSM_LOG_FILE=path                      output file; standard error when unset
/// Without TSM_LOG every level is 0 and nothing is written.
ILogCategorised& GlobalLog();

/// Writes a final message (only when some category has a level above 0) and closes the
/// log: later writes are dropped until SetOutput opens an output again. Async-signal-safe:
/// the crash hand-off calls it from its signal handler, so it takes no lock and writes with
/// write(2); a log that was never used has nothing to close.
void CloseLog(const char* message);

/// A lazily looked-up category handle kept in a static variable at a logging site.
/// Several threads may fill it at once: they look up the same category and
/// store the same pointer.
class VLogCategoryHandle
{
public:
    explicit constexpr VLogCategoryHandle(const char* name) : m_Name(name) {}

    ILogCategory* Get()
    {
        ILogCategory* category = m_Category.load(std::memory_order_acquire);
        if (category == nullptr)
        {
            category = GlobalLog().GetCategory(m_Name);
            m_Category.store(category, std::memory_order_release);
        }
        return category;
    }

    bool IsEnabled(int level) { return Get()->GetLevel() >= level; }

private:
    const char* m_Name;
    std::atomic<ILogCategory*> m_Category{nullptr};
};

/// printf-style formatting into a std::string, for log messages.
std::string FormatLogText(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace ZEL

/// Logs a printf-style message at `level` in the category named `categoryName`
/// (a string literal). The message is formatted only when it will be written.
#define ZEL_LOG(categoryName, level, ...)                                                          \
    do                                                                                             \
    {                                                                                              \
        static ::ZEL::VLogCategoryHandle zelLogSite_(categoryName);                                \
        if (zelLogSite_.IsEnabled(level))                                                          \
            ::ZEL::GlobalLog().Write(::ZEL::FormatLogText(__VA_ARGS__), zelLogSite_.Get(),         \
                                     (level), __FILE__, __LINE__);                                 \
    } while (false)
