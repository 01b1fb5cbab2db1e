// A locked map from key text to value text.
#pragma once

#include "params/IString.h"

/// Key-to-text map that any thread may use; every operation is atomic.
class IPropertySet
{
public:
    virtual unsigned GetCount() const = 0;
    /// The key at `index` in key order; false (and `out` untouched) when out of range.
    virtual bool GetKeyAt(unsigned index, IString& out) const = 0;
    /// The text stored for `key`; false (and `out` untouched) when absent.
    virtual bool Get(const char* key, IString& out) const = 0;
    /// Inserts or replaces; null `value` stores an empty text, null `key` is ignored.
    virtual void Set(const char* key, const char* value) = 0;
    /// Sets every pair of `other`.
    virtual void CopyFrom(const IPropertySet& other) = 0;
    virtual ~IPropertySet() = default;
};
