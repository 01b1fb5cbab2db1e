// A stand-in for a device's parameters as the data sources read them.
#pragma once

#include "sources/IFakeSourceParams.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace testsupport
{

/// Parameters by key as text, converted like the device's typed getters. Thread-safe.
class VParamTable : public IFakeSourceParams
{
public:
    void Set(const std::string& key, const std::string& text)
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Values[key] = text;
    }
    void Set(const std::string& key, long long value) { Set(key, std::to_string(value)); }

    bool ReadParam(const char* key, bool& out) const override
    {
        std::string text;
        if (!Find(key, text) || (text != "0" && text != "1"))
            return false;
        out = text == "1";
        return true;
    }
    bool ReadParam(const char* key, std::int32_t& out) const override
    {
        long long value = 0;
        if (!ReadInteger(key, value) || value < INT32_MIN || value > INT32_MAX)
            return false;
        out = static_cast<std::int32_t>(value);
        return true;
    }
    bool ReadParam(const char* key, std::uint32_t& out) const override
    {
        long long value = 0;
        if (!ReadInteger(key, value))
            return false;
        out = static_cast<std::uint32_t>(value);
        return true;
    }
    bool ReadParam(const char* key, double& out) const override
    {
        std::string text;
        if (!Find(key, text))
            return false;
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0')
            return false;
        out = value;
        return true;
    }
    bool ReadParam(const char* key, std::string& out) const override { return Find(key, out); }

private:
    bool Find(const char* key, std::string& out) const
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        const auto found = m_Values.find(key);
        if (found == m_Values.end())
            return false;
        out = found->second;
        return true;
    }
    bool ReadInteger(const char* key, long long& out) const
    {
        std::string text;
        if (!Find(key, text) || text.empty())
            return false;
        char* end = nullptr;
        out = std::strtoll(text.c_str(), &end, 10);
        return *end == '\0';
    }

    mutable std::mutex m_Lock; // guards m_Values
    std::map<std::string, std::string> m_Values;
};

} // namespace testsupport
