#include "params/VPropertySet.h"

#include <iterator>
#include <string_view>

unsigned VPropertySet::GetCount() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return static_cast<unsigned>(m_Values.size());
}

bool VPropertySet::GetKeyAt(unsigned index, IString& out) const
{
    std::string key;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (index >= m_Values.size())
        {
            return false;
        }
        key = std::next(m_Values.begin(), index)->first;
    }
    out.Assign(key.c_str());
    return true;
}

bool VPropertySet::Get(const char* key, IString& out) const
{
    std::string value;
    if (!Get(key, value))
    {
        return false;
    }
    out.Assign(value.c_str());
    return true;
}

bool VPropertySet::Get(const char* key, std::string& out) const
{
    if (key == nullptr)
    {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_Lock);
    auto found = m_Values.find(std::string_view(key));
    if (found == m_Values.end())
    {
        return false;
    }
    out = found->second;
    return true;
}

void VPropertySet::Set(const char* key, const char* value)
{
    if (key == nullptr)
    {
        return;
    }
    std::string text = value != nullptr ? value : "";
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Values.insert_or_assign(std::string(key), std::move(text));
}

void VPropertySet::CopyFrom(const IPropertySet& other)
{
    if (&other == this)
    {
        return;
    }
    if (const auto* set = dynamic_cast<const VPropertySet*>(&other))
    {
        std::map<std::string, std::string> pairs = set->GetAll();
        std::lock_guard<std::mutex> lock(m_Lock);
        for (auto& [key, value] : pairs)
        {
            m_Values.insert_or_assign(key, std::move(value));
        }
        return;
    }
    const unsigned count = other.GetCount();
    for (unsigned i = 0; i < count; ++i)
    {
        VStringStd key;
        VStringStd value;
        if (other.GetKeyAt(i, key) && other.Get(key.CStr(), value))
        {
            Set(key.CStr(), value.CStr());
        }
    }
}

std::map<std::string, std::string> VPropertySet::GetAll() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return std::map<std::string, std::string>(m_Values.begin(), m_Values.end());
}
