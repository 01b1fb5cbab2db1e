// The process-wide table of named targets.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/ITargetCalibrated.h"
#include "kinematic/ITargetFactory.h"
#include "params/IString.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

/// The target table behind ITargetFactory: one process-wide instance, reached through
/// Factory(). Only Factory() is exported; programs use the table through ITargetFactory.
/// Every operation holds m_Lock for its whole duration; the lock is recursive so that
/// a target or string called under it may call back into the table on the same thread.
/// Targets are released (Destroy) after the lock is dropped. The compute registry takes
/// this lock inside its own (lock order: compute registry, then target table).
class VTargetFactory : public ITargetFactory
{
public:
    /// The process-wide table, created on first use and destroyed at exit (releasing
    /// every target it still holds).
    ARBOR_API static ITargetFactory& Factory();

    VTargetFactory(const VTargetFactory&) = delete;
    VTargetFactory& operator=(const VTargetFactory&) = delete;

    std::uint32_t Count() const override;
    bool Name(std::uint32_t index, IString& name) const override;
    bool SegmentByName(const char* name, IString& segment) const override;
    bool Segment(std::uint32_t index, IString& segment) const override;
    bool DescriptionByName(const char* name, IString& description) const override;
    bool Description(std::uint32_t index, IString& description) const override;
    std::uint32_t Find(const char* name) const override;
    bool SetSegment(std::uint32_t index, const IString& segment) override;
    bool SetDescription(std::uint32_t index, const IString& description) override;
    std::uint32_t Add(const char* name, const IString& segment, const IString& description,
                      ITargetCalibrated* target) override;
    bool Remove(const char* name) override;
    bool Contains(const char* name) const override;
    double RadiusByName(const char* name) const override;
    double Radius(std::uint32_t index) const override;

private:
    struct Entry
    {
        std::string m_Name;
        std::string m_Segment;
        std::string m_Description;
        std::shared_ptr<ITargetCalibrated> m_Target; // released through Destroy()
    };

    VTargetFactory();
    ~VTargetFactory() override;

    /// Find for callers that hold m_Lock already.
    std::uint32_t FindUnlocked(const char* name) const;
    /// The entry at `index`, or null when out of range; m_Lock must be held.
    const Entry* EntryUnlocked(std::uint32_t index) const;
    Entry* EntryUnlocked(std::uint32_t index);
    /// The table's reference to `target` when an entry holds it already, otherwise a
    /// new one that releases it through Destroy(); null for null. m_Lock must be held.
    std::shared_ptr<ITargetCalibrated> ShareUnlocked(ITargetCalibrated* target) const;

    mutable std::recursive_mutex m_Lock; // guards m_Entries
    std::vector<Entry> m_Entries;        // index is the target id
};
