// The locked key-to-text map with which a device mirrors its parameter values for
// other threads.
#pragma once

#include "params/IPropertySet.h"
#include "params/VParamStringifier.h"

#include <map>
#include <mutex>
#include <string>

/// A key-to-text map under its own mutex. Every operation holds the mutex for its
/// whole duration and never calls out while holding it, so any thread may use the
/// set at any time. A device writes each parameter's text here from its list guard
/// (the main thread) and other threads read it back with GetAs. Not copyable.
class VPropertySet final : public IPropertySet
{
public:
    VPropertySet() = default;
    VPropertySet(const VPropertySet&) = delete;
    VPropertySet& operator=(const VPropertySet&) = delete;

    unsigned GetCount() const override;
    bool GetKeyAt(unsigned index, IString& out) const override;
    bool Get(const char* key, IString& out) const override;
    void Set(const char* key, const char* value) override;
    /// Copies `other`'s pairs (taken in one step when it is a VPropertySet); never
    /// holds both sets' mutexes at once, so two sets may copy from each other
    /// concurrently.
    void CopyFrom(const IPropertySet& other) override;

    /// The text stored for `key`; false (and `out` untouched) when absent.
    bool Get(const char* key, std::string& out) const;

    /// Reads the text stored for `key` as T (int32_t, uint32_t, double or bool) with
    /// the parameters' own text rules (VParamStreamStringifier: "1"/"0" for booleans,
    /// decimal integers, reals as parameters write them). False, with `out`
    /// untouched, when the key is absent or its text does not convert.
    template <class T> bool GetAs(const char* key, T& out) const
    {
        std::string text;
        return Get(key, text) && VParamStreamStringifier::FromText(text.c_str(), out);
    }

    /// A copy of every pair, taken under the mutex.
    std::map<std::string, std::string> GetAll() const;

private:
    mutable std::mutex m_Lock; // guards m_Values
    std::map<std::string, std::string, std::less<>> m_Values;
};
