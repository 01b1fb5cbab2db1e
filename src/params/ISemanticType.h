// Semantic types and bound expressions of parameters, and the null semantic type
// that every definition of this system uses.
#pragma once

#include "params/IDestroyable.h"
#include "params/IParamObject.h"
#include "params/IString.h"

class IParam;

/// An object that computes a parameter's value from a text expression. Built by a
/// semantic type; owned by the parameter it is bound to. Not synchronised.
class IParamExpression : public IDestroyable
{
public:
    /// A copy of the expression, owned by the caller.
    virtual IParamExpression* Clone() const = 0;
    /// The expression's text.
    virtual void GetText(IString& out) const = 0;
    /// Writes the current result into `out`; false when it cannot be computed, which
    /// makes the parameter invalid.
    virtual bool Evaluate(IParamObject& out) const = 0;

protected:
    ~IParamExpression() override = default;
};

/// What a parameter's value means beyond its type: expressions and conversions.
/// Definitions own a clone; parameters share a clone of their definition's.
/// Not synchronised.
class ISemanticType : public IDestroyable
{
public:
    /// A copy, owned by the caller.
    virtual ISemanticType* Clone() const = 0;
    /// An expression for `param` built from `text`, owned by the caller; null when
    /// the type cannot build one.
    virtual IParamExpression* CreateExpression(const char* text, const IParam& param) const = 0;
    /// Whether `from`'s value can be converted into `to`'s meaning.
    virtual bool CanConvert(const IParam& from, const IParam& to) const = 0;
    /// The display text of `param`'s value (units and the like); false when none.
    virtual bool ToDisplayText(const IParam& param, IString& out) const = 0;
    /// Parses a display text into `out` for `param`; false when the type cannot.
    virtual bool FromDisplayText(const IParam& param, const IString& text,
                                 IParamObject& out) const = 0;

protected:
    ~ISemanticType() override = default;
};

/// The semantic type without meaning: answers every query negatively and builds no
/// expression. Stateless; may be used from any thread.
class ISemanticTypeNull final : public ISemanticType
{
public:
    ISemanticTypeNull() = default;
    ~ISemanticTypeNull() override = default;

    void Destroy() override { delete this; }
    ISemanticType* Clone() const override { return new ISemanticTypeNull(); }
    IParamExpression* CreateExpression(const char*, const IParam&) const override
    {
        return nullptr;
    }
    bool CanConvert(const IParam&, const IParam&) const override { return false; }
    bool ToDisplayText(const IParam&, IString&) const override { return false; }
    bool FromDisplayText(const IParam&, const IString&, IParamObject&) const override
    {
        return false;
    }
};
