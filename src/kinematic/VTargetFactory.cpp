#include "kinematic/VTargetFactory.h"

#include <utility>

namespace
{
/// Reads a caller's text into a std::string; done before taking the lock, so that the
/// caller's string runs no code under it.
std::string ReadText(const IString& text)
{
    VStringStd copy(text);
    return std::move(copy.Str());
}
} // namespace

ITargetFactory& VTargetFactory::Factory()
{
    static VTargetFactory instance;
    return instance;
}

VTargetFactory::VTargetFactory() = default;

VTargetFactory::~VTargetFactory()
{
    std::vector<Entry> entries;
    {
        std::lock_guard lock(m_Lock);
        entries.swap(m_Entries);
    }
    // The targets are released here, outside the lock.
}

std::uint32_t VTargetFactory::Count() const
{
    std::lock_guard lock(m_Lock);
    return static_cast<std::uint32_t>(m_Entries.size());
}

bool VTargetFactory::Name(std::uint32_t index, IString& name) const
{
    std::lock_guard lock(m_Lock);
    const Entry* entry = EntryUnlocked(index);
    if (entry == nullptr)
        return false;
    name.Assign(entry->m_Name.c_str());
    return true;
}

bool VTargetFactory::SegmentByName(const char* name, IString& segment) const
{
    std::lock_guard lock(m_Lock);
    return Segment(FindUnlocked(name), segment);
}

bool VTargetFactory::Segment(std::uint32_t index, IString& segment) const
{
    std::lock_guard lock(m_Lock);
    const Entry* entry = EntryUnlocked(index);
    if (entry == nullptr)
        return false;
    segment.Assign(entry->m_Segment.c_str());
    return true;
}

bool VTargetFactory::DescriptionByName(const char* name, IString& description) const
{
    std::lock_guard lock(m_Lock);
    return Description(FindUnlocked(name), description);
}

bool VTargetFactory::Description(std::uint32_t index, IString& description) const
{
    std::lock_guard lock(m_Lock);
    const Entry* entry = EntryUnlocked(index);
    if (entry == nullptr)
        return false;
    description.Assign(entry->m_Description.c_str());
    return true;
}

std::uint32_t VTargetFactory::Find(const char* name) const
{
    // Other registries call this from their own locks while targets are added and
    // removed on other threads, so it takes the table's lock like every operation.
    std::lock_guard lock(m_Lock);
    return FindUnlocked(name);
}

bool VTargetFactory::SetSegment(std::uint32_t index, const IString& segment)
{
    std::string text = ReadText(segment);
    std::lock_guard lock(m_Lock);
    Entry* entry = EntryUnlocked(index);
    if (entry == nullptr)
        return false;
    entry->m_Segment = std::move(text);
    return true;
}

bool VTargetFactory::SetDescription(std::uint32_t index, const IString& description)
{
    std::string text = ReadText(description);
    std::lock_guard lock(m_Lock);
    Entry* entry = EntryUnlocked(index);
    if (entry == nullptr)
        return false;
    entry->m_Description = std::move(text);
    return true;
}

std::uint32_t VTargetFactory::Add(const char* name, const IString& segment,
                                  const IString& description, ITargetCalibrated* target)
{
    std::string segmentText = ReadText(segment);
    std::string descriptionText = ReadText(description);
    // Declared before the lock so that a target the table does not keep is released
    // after the lock is dropped.
    std::shared_ptr<ITargetCalibrated> shared;
    std::lock_guard lock(m_Lock);
    shared = ShareUnlocked(target);
    if (name == nullptr)
        return Arbor::NoId;
    const std::uint32_t existing = FindUnlocked(name);
    if (existing != Arbor::NoId)
        return existing;
    // Arbor::NoId itself must stay free to mean "no entry".
    if (m_Entries.size() >= Arbor::NoId)
        return Arbor::NoId;
    m_Entries.push_back(
        Entry{name, std::move(segmentText), std::move(descriptionText), std::move(shared)});
    return static_cast<std::uint32_t>(m_Entries.size() - 1);
}

bool VTargetFactory::Remove(const char* name)
{
    std::shared_ptr<ITargetCalibrated> released; // dropped after the lock
    std::lock_guard lock(m_Lock);
    const std::uint32_t index = FindUnlocked(name);
    if (index == Arbor::NoId)
        return false;
    released = std::move(m_Entries[index].m_Target);
    m_Entries.erase(m_Entries.begin() + index);
    return true;
}

bool VTargetFactory::Contains(const char* name) const
{
    std::lock_guard lock(m_Lock);
    return FindUnlocked(name) != Arbor::NoId;
}

double VTargetFactory::RadiusByName(const char* name) const
{
    std::lock_guard lock(m_Lock);
    return Radius(FindUnlocked(name));
}

double VTargetFactory::Radius(std::uint32_t index) const
{
    std::lock_guard lock(m_Lock);
    const Entry* entry = EntryUnlocked(index);
    if (entry == nullptr || entry->m_Target == nullptr)
        return 0.0;
    return entry->m_Target->Radius();
}

std::uint32_t VTargetFactory::FindUnlocked(const char* name) const
{
    if (name == nullptr)
        return Arbor::NoId;
    for (std::size_t i = 0; i < m_Entries.size(); ++i)
    {
        if (m_Entries[i].m_Name == name)
            return static_cast<std::uint32_t>(i);
    }
    return Arbor::NoId;
}

const VTargetFactory::Entry* VTargetFactory::EntryUnlocked(std::uint32_t index) const
{
    if (index >= m_Entries.size())
        return nullptr;
    return &m_Entries[index];
}

VTargetFactory::Entry* VTargetFactory::EntryUnlocked(std::uint32_t index)
{
    if (index >= m_Entries.size())
        return nullptr;
    return &m_Entries[index];
}

std::shared_ptr<ITargetCalibrated> VTargetFactory::ShareUnlocked(ITargetCalibrated* target) const
{
    if (target == nullptr)
        return nullptr;
    for (const Entry& entry : m_Entries)
    {
        if (entry.m_Target.get() == target)
            return entry.m_Target;
    }
    return std::shared_ptr<ITargetCalibrated>(target,
                                              [](ITargetCalibrated* owned) { owned->Destroy(); });
}
