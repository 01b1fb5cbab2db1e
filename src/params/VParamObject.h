// The concrete value objects of the parameter model: layered templates for one
// value of a type T with a text form, and the five value types the devices use.
#pragma once

#include "params/IParamObject.h"
#include "params/VParamStringifier.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>

namespace ParamObjectDetail
{
// Two not-a-numbers count as equal, so that a real parameter holding one does not
// look changed on every comparison with its own snapshot.
template <class T> bool EqualValues(const T& a, const T& b)
{
    if constexpr (std::is_floating_point_v<T>)
    {
        return a == b || (std::isnan(a) && std::isnan(b));
    }
    else
    {
        return a == b;
    }
}
} // namespace ParamObjectDetail

/// Holds one T; equality, text through TStringifier, no ordering (IsLess is always
/// false). Abstract: VParamObjectAs adds Clone. Two objects have the same value type
/// when both derive from the same VParamObject<T, TStringifier>.
/// Not synchronised: one thread at a time.
template <class T, class TStringifier> class VParamObject : public IParamObject
{
public:
    using ValueType = T;

    VParamObject() : m_Value() {}
    explicit VParamObject(const T& value) : m_Value(value) {}
    VParamObject(const VParamObject&) = default;
    VParamObject& operator=(const VParamObject&) = default;

    void Destroy() override { delete this; }

    bool Assign(const IParamObject& other) override
    {
        const auto* same = dynamic_cast<const VParamObject*>(&other);
        if (same == nullptr)
        {
            return false;
        }
        m_Value = same->m_Value;
        return true;
    }

    void ToString(IString& out) const override { TStringifier::ToString(m_Value, out); }

    bool FromString(const IString& text) override
    {
        T parsed = m_Value;
        if (!TStringifier::FromString(text, parsed))
        {
            return false;
        }
        m_Value = parsed;
        return true;
    }

    bool IsLess(const IParamObject&) const override { return false; }

    bool Equals(const IParamObject& other) const override
    {
        const auto* same = dynamic_cast<const VParamObject*>(&other);
        return same != nullptr && ParamObjectDetail::EqualValues(m_Value, same->m_Value);
    }

    /// The held value.
    const T& Value() const { return m_Value; }

protected:
    T m_Value;
};

/// A VParamObject ordered by T's less-than.
template <class T, class TStringifier>
class VParamObjectComparable : public VParamObject<T, TStringifier>
{
public:
    using VParamObject<T, TStringifier>::VParamObject;

    bool IsLess(const IParamObject& other) const override
    {
        const auto* same = dynamic_cast<const VParamObject<T, TStringifier>*>(&other);
        return same != nullptr && this->m_Value < same->Value();
    }
};

/// Completes TBase (a VParamObject or VParamObjectComparable) with Clone and the
/// ITypedParamObject<T> face.
template <class TBase, class T> class VParamObjectAs : public TBase, public ITypedParamObject<T>
{
public:
    VParamObjectAs() = default;
    explicit VParamObjectAs(const T& value) : TBase(value) {}

    IParamObject* Clone() const override { return new VParamObjectAs(*this); }
    void Get(T& out) const override { out = this->m_Value; }
    void Set(const T& value) override { this->m_Value = value; }
};

/// 32-bit signed integer value, decimal text.
using VParamInt32 =
    VParamObjectAs<VParamObjectComparable<int32_t, VParamStreamStringifier>, int32_t>;
/// 32-bit unsigned integer value, decimal text.
using VParamUInt32 =
    VParamObjectAs<VParamObjectComparable<uint32_t, VParamStreamStringifier>, uint32_t>;
/// 64-bit real value, six significant digits as text.
using VParamDouble =
    VParamObjectAs<VParamObjectComparable<double, VParamStreamStringifier>, double>;
/// Boolean value, "1" or "0" as text; not ordered.
using VParamBool = VParamObjectAs<VParamObject<bool, VParamStreamStringifier>, bool>;

/// Text value with two typed faces: ITypedParamObject<VStringStd> and
/// ITypedParamObject<IString>. The text form is the text itself.
class VParamString final
    : public VParamObjectAs<VParamObjectComparable<VStringStd, VParamStringStringifier>,
                            VStringStd>,
      public ITypedParamObject<IString>
{
    using Base =
        VParamObjectAs<VParamObjectComparable<VStringStd, VParamStringStringifier>, VStringStd>;

public:
    VParamString() = default;
    explicit VParamString(const VStringStd& value) : Base(value) {}
    explicit VParamString(const char* text) : Base(VStringStd(text)) {}

    IParamObject* Clone() const override { return new VParamString(*this); }

    using Base::Get;
    using Base::Set;
    void Get(IString& out) const override { m_Value.CopyTo(out); }
    void Set(const IString& value) override { value.CopyTo(m_Value); }
};
