// A set of calibrated subjects, found by name.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/ISubjectCalibrated.h"

#include <cstdint>

/// An ordered set of calibrated subjects with unique names. It owns the subjects added
/// to it and releases them with their Destroy() when removed or when the set is
/// deleted. Not thread-safe: one caller at a time.
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API ISubjectSetCalibrated
{
public:
    virtual ~ISubjectSetCalibrated();

    /// Number of subjects.
    virtual std::uint32_t Count() const = 0;
    /// Subject `index`; null when `index` >= Count(). Owned by the set.
    virtual ISubjectCalibrated* Subject(std::uint32_t index) = 0;
    /// The subject named `name`; null when none. Owned by the set.
    virtual ISubjectCalibrated* Find(const char* name) = 0;
    /// Adds `subject` and takes ownership of it; false (and `subject` released) when it
    /// is null or its name is in the set already.
    virtual bool Add(ISubjectCalibrated* subject) = 0;
    /// Removes and releases the subject named `name`; false when absent.
    virtual bool Remove(const char* name) = 0;
    /// Removes and releases every subject.
    virtual void Clear() = 0;
    /// True when a subject named `name` is in the set.
    virtual bool Contains(const char* name) const = 0;

protected:
    ISubjectSetCalibrated();
    ISubjectSetCalibrated(const ISubjectSetCalibrated& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    ISubjectSetCalibrated& operator=(const ISubjectSetCalibrated& other);
};
