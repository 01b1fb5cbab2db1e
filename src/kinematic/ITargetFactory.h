// The table of named targets: the index of an entry is its target id.
#pragma once

#include "kinematic/ArborTypes.h"
#include "kinematic/ITargetCalibrated.h"
#include "params/IString.h"

#include <cstdint>

/// An ordered table of named targets. Each entry holds a name, the name of the segment
/// that carries the target, a free description, and optionally the target object. The
/// index of an entry is its target id; removing an entry moves the later ones down by
/// one, so their ids change. Names compare exactly: case-sensitive, whole length.
/// Any thread may call any operation; each takes the table's recursive lock for its
/// whole duration, and user objects (targets, strings) are called under it. A target
/// object is released with its Destroy() outside the lock.
/// The process-wide instance is VTargetFactory::Factory().
/// The declaration order of the virtual operations is the virtual-table order: never
/// reorder or insert.
class ARBOR_API ITargetFactory
{
protected:
    virtual ~ITargetFactory();

public:
    /// Number of entries.
    virtual std::uint32_t Count() const = 0;
    /// Copies the name of entry `index` into `name`; false when `index` >= Count().
    virtual bool Name(std::uint32_t index, IString& name) const = 0;
    /// Segment(Find(name), segment).
    virtual bool SegmentByName(const char* name, IString& segment) const = 0;
    /// Copies the segment name of entry `index`; false when `index` >= Count().
    virtual bool Segment(std::uint32_t index, IString& segment) const = 0;
    /// Description(Find(name), description).
    virtual bool DescriptionByName(const char* name, IString& description) const = 0;
    /// Copies the description of entry `index`; false when `index` >= Count().
    virtual bool Description(std::uint32_t index, IString& description) const = 0;
    /// Index of the entry whose name equals `name` (a NUL-terminated string), or
    /// Arbor::NoId; a null `name` finds nothing.
    virtual std::uint32_t Find(const char* name) const = 0;
    /// Sets the segment name of entry `index`; false when `index` >= Count().
    virtual bool SetSegment(std::uint32_t index, const IString& segment) = 0;
    /// Sets the description of entry `index`; false when `index` >= Count().
    virtual bool SetDescription(std::uint32_t index, const IString& description) = 0;
    /// Adds an entry and returns its index. When `name` is in the table already, returns
    /// the existing index and changes nothing. Always takes ownership of `target` (which
    /// may be null): it is kept by a new entry, otherwise released at once with
    /// Destroy(). A null `name`, or a full table, returns Arbor::NoId.
    virtual std::uint32_t Add(const char* name, const IString& segment, const IString& description,
                              ITargetCalibrated* target) = 0;
    /// Removes the entry named `name`, moving later entries down by one; its target is
    /// released when no other entry holds it. False when absent.
    virtual bool Remove(const char* name) = 0;
    /// True when an entry named `name` exists.
    virtual bool Contains(const char* name) const = 0;
    /// Radius(Find(name)).
    virtual double RadiusByName(const char* name) const = 0;
    /// Radius() of the target of entry `index`; 0 when out of range or without a target.
    virtual double Radius(std::uint32_t index) const = 0;

protected:
    ITargetFactory();
    ITargetFactory(const ITargetFactory& other);

public:
    /// Returns the left operand unchanged: interfaces carry no state.
    ITargetFactory& operator=(const ITargetFactory& other);
};
