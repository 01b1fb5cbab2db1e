// 8-bit text carried across the interfaces of the parameter model, the devices
// and the trial files, and its standard-string implementations.
#pragma once

#include <string>

/// Writable text. Not thread-safe: one object, one thread at a time.
class IString
{
public:
    virtual ~IString() = default;
    /// Replaces the text with a NUL-terminated string; null clears it.
    virtual void Assign(const char* text) = 0;
    /// Assigns this text to `out`.
    virtual void CopyTo(IString& out) const = 0;
};

/// Text that can also be read directly.
class IStringDirect : public IString
{
public:
    /// The NUL-terminated text, valid until the next change of the object.
    virtual const char* CStr() const = 0;
};

/// Text that owns a std::string.
class VStringStd : public IStringDirect
{
public:
    VStringStd() = default;
    VStringStd(const char* text) : m_Text(text != nullptr ? text : "") {}
    VStringStd(std::string text) : m_Text(std::move(text)) {}
    VStringStd(const IString& other) { other.CopyTo(*this); }
    VStringStd(const VStringStd&) = default;
    VStringStd(VStringStd&&) = default;
    VStringStd& operator=(const VStringStd&) = default;
    VStringStd& operator=(VStringStd&&) = default;

    void Assign(const char* text) override { m_Text = text != nullptr ? text : ""; }
    void CopyTo(IString& out) const override { out.Assign(m_Text.c_str()); }
    const char* CStr() const override { return m_Text.c_str(); }

    const std::string& Str() const { return m_Text; }
    std::string& Str() { return m_Text; }

    bool operator==(const VStringStd& other) const { return m_Text == other.m_Text; }
    bool operator<(const VStringStd& other) const { return m_Text < other.m_Text; }

private:
    std::string m_Text;
};

/// Exposes a caller's std::string as writable text. The string must outlive the adapter.
class VStringStdAdapter : public IStringDirect
{
public:
    explicit VStringStdAdapter(std::string& text) : m_Text(text) {}
    void Assign(const char* text) override { m_Text = text != nullptr ? text : ""; }
    void CopyTo(IString& out) const override { out.Assign(m_Text.c_str()); }
    const char* CStr() const override { return m_Text.c_str(); }

private:
    std::string& m_Text;
};

/// Exposes a caller's std::string as read-only text: Assign does nothing.
/// The string must outlive the adapter.
class VStringStdAdapterConst : public IStringDirect
{
public:
    explicit VStringStdAdapterConst(const std::string& text) : m_Text(text) {}
    void Assign(const char*) override {}
    void CopyTo(IString& out) const override { out.Assign(m_Text.c_str()); }
    const char* CStr() const override { return m_Text.c_str(); }

private:
    const std::string& m_Text;
};
