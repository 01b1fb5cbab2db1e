// The value-object interfaces of the parameter model: one value of one type,
// and its typed face.
#pragma once

#include "params/IDestroyable.h"
#include "params/IString.h"

/// One value of one fixed type. Not synchronised: one thread at a time.
/// Objects created by Clone belong to the caller, who releases them with Destroy.
class IParamObject : public IDestroyable
{
public:
    ~IParamObject() override = default;
    /// A new object of the same dynamic type holding the same value; owned by the caller.
    virtual IParamObject* Clone() const = 0;
    /// Copies `other`'s value when it holds the same value type; false (and no change) otherwise.
    virtual bool Assign(const IParamObject& other) = 0;
    /// Writes the value as text.
    virtual void ToString(IString& out) const = 0;
    /// Parses `text`; true on success, value unchanged on failure.
    virtual bool FromString(const IString& text) = 0;
    /// Ordering; false for types that are not comparable or when `other` holds another type.
    virtual bool IsLess(const IParamObject& other) const = 0;
    /// True when `other` holds the same value type and an equal value.
    virtual bool Equals(const IParamObject& other) const = 0;
};

/// The typed face of a value object: reach it with dynamic_cast from an IParamObject.
template <class T> class ITypedParamObject
{
public:
    virtual void Get(T& out) const = 0;
    virtual void Set(const T& value) = 0;
    virtual ~ITypedParamObject() = default;
};
