// The parameter interface: a named, typed, observable value with attributes,
// options and a guard.
#pragma once

#include "params/IParamGuard.h"
#include "params/IParamHandler.h"
#include "params/IParamObject.h"
#include "params/IParamObserver.h"
#include "params/ISemanticType.h"
#include "params/IString.h"

#include <vector>

/// Bits of the attribute change mask handed to IParamObserver::OnAttributesChanged
/// and IParamGuard::AllowAttributeChange.
namespace ParamAttributes
{
constexpr unsigned ReadOnly = 1u;
constexpr unsigned FlagA = 2u;
constexpr unsigned FlagB = 4u;
constexpr unsigned FlagC = 8u;
/// The own option list (labels, count or option values).
constexpr unsigned Options = 16u;
/// The option-range flag or option-mode flag 2.
constexpr unsigned OptionModes = 32u;
/// Everything: what a new observer and NotifyAllAttributes report.
constexpr unsigned All = 63u;
} // namespace ParamAttributes

/// A named, typed, observable value. See VParam for the behaviour of every operation.
///
/// Threading: parameters have no lock. Their owner serialises all access (in this
/// system the main thread makes every change); observers and guards run on the
/// changing thread, inside the change. Other threads read a device's property set.
///
/// Mutators of the value (Invalidate, FromString, BindExpression, ResolveExpression,
/// CopyFrom, Revalidate, SetValue, SelectOption) run as value changes: the parameter
/// takes a snapshot, applies the change and, at the end of the outermost change, asks
/// the guard and notifies observers once. `checked` = true refuses the change of a
/// read-only parameter. Failures return false and leave the parameter as it was,
/// with nobody notified.
class IParam
{
public:
    virtual const IParamHandler* GetHandler() const = 0;
    virtual IParamHandler* GetHandler() = 0;

    /// The definition's texts; "" for a parameter made without a definition. Valid
    /// as long as the definition lives.
    virtual const char* GetKey() const = 0;
    virtual const char* GetDisplayName() const = 0;
    virtual const char* GetDescription() const = 0;
    virtual const char* GetGroup() const = 0;

    virtual const ISemanticType& GetSemanticType() const = 0;
    virtual ISemanticType& GetSemanticType() = 0;

    /// Whether the value counts as set; re-evaluates a bound expression first.
    virtual bool IsValid() const = 0;
    /// Drops a bound expression and marks the value invalid.
    virtual bool Invalidate(bool checked) = 0;
    /// The value's text; false (and `out` untouched) when invalid.
    virtual bool ToString(IString& out) const = 0;
    /// Drops a bound expression and parses `text` into the value, which becomes valid.
    /// A failed parse changes nothing and returns false.
    virtual bool FromString(const IString& text, bool checked) = 0;

    /// Whether the definition gives a valid default.
    virtual bool HasValidDefault() const = 0;
    /// Whether the value is valid and equals the definition's valid default.
    virtual bool IsDefault() const = 0;
    /// Whether the semantic type can convert `other`'s value into this parameter's.
    virtual bool CanConvertFrom(const IParam& other) const = 0;
    /// The semantic type's display text of the value; false when it has none.
    virtual bool GetDisplayText(IString& out) const = 0;
    /// Parses a display text through the semantic type into `out`, without changing
    /// the parameter; false when the semantic type cannot.
    virtual bool ParseDisplayText(const IString& text, IParamObject& out) const = 0;

    /// The bound expression's text; false without one.
    virtual bool GetExpressionText(IString& out) const = 0;
    /// Whether an expression with exactly this text is bound; false without one.
    virtual bool IsBoundTo(const char* text) const = 0;
    /// Binds an expression built by the semantic type from `text`; false (no change)
    /// when the semantic type cannot build one. Always asks the guard.
    virtual bool BindExpression(const char* text, bool checked) = 0;
    /// Evaluates the bound expression into the value and unbinds it; false without one.
    virtual bool ResolveExpression(bool checked) = 0;

    /// The range check: invalid values fail; without options everything passes; with
    /// a range the value must lie within the "Min" and "Max" options (each checked when
    /// present); otherwise it must equal one option's value.
    virtual bool IsInRange() const = 0;
    /// Whether both parameters come from the same definition.
    virtual bool HasSameDefinition(const IParam& other) const = 0;
    /// Copies value, validity, expression, attributes and the persistent flag of
    /// `other` (a value change, then an attribute change); true and no effect when
    /// already equal.
    virtual bool CopyFrom(const IParam& other) = 0;
    /// Equal validity, value and bound expression.
    virtual bool EqualsValue(const IParam& other) const = 0;

    /// Brackets several attribute changes into one notification. Every Begin needs
    /// one End; the outermost End reports the changed attributes ORed with
    /// `extraMask` (and the extra masks of nested Ends), after the guard allowed them.
    virtual void BeginAttributeChange() = 0;
    virtual bool EndAttributeChange(unsigned extraMask) = 0;

    /// Attribute flags; setting a flag to the value it has returns true at once.
    virtual bool SetReadOnly(bool readOnly) = 0;
    virtual bool IsReadOnly() const = 0;
    virtual bool SetFlagB(bool flag) = 0;
    /// Also true when the handler marks the parameter.
    virtual bool IsFlagB() const = 0;
    /// Set without notification or guard.
    virtual bool SetPersistent(bool persistent) = 0;
    virtual bool IsPersistent() const = 0;
    virtual bool SetFlagA(bool flag) = 0;
    virtual bool IsFlagA() const = 0;
    virtual bool SetFlagC(bool flag) = 0;
    virtual bool IsFlagC() const = 0;

    /// Options: the parameter's own when it has any, else its definition's.
    virtual void GetOptionCount(unsigned& out) const = 0;
    /// The label and value parameter of option `index`; false when out of range.
    virtual bool GetOptionValue(unsigned index, IString& label, const IParam*& value) const = 0;
    /// The value parameter of the option with that label, or null.
    virtual const IParam* FindOption(const char* label) const = 0;
    /// When valid: the first option whose value equals the current value; each out
    /// pointer may be null. False when invalid or no option matches.
    virtual bool FindSelectedOption(unsigned* index, const IParam** option,
                                    IString* label) const = 0;
    virtual bool IsOptionRange() const = 0;
    virtual bool IsOptionMode2() const = 0;
    virtual bool HasOwnOptions() const = 0;
    /// Sets the value to the option's value (a value change). False for an unknown
    /// option or one without a valid value. Pass an unsigned index (0u, not 0).
    virtual bool SelectOption(const char* label, bool checked) = 0;
    virtual bool SelectOption(unsigned index, bool checked) = 0;
    /// Own option-mode flags, as attribute changes.
    virtual bool SetOptionRange(bool range) = 0;
    virtual bool SetOptionMode2(bool mode) = 0;
    /// Removes the own options (the definition's apply again), as an attribute change.
    virtual bool ClearOwnOptions() = 0;
    /// Appends an own option, as an attribute change, and returns its value parameter
    /// (owned by this parameter; invalid until set) or null when a non-empty `label`
    /// exists already or the guard vetoes. Set its value inside a
    /// Begin/EndAttributeChange bracket to have the value reported too.
    virtual IParam* AddOwnOption(const char* label) = 0;

    /// The open value snapshots, outermost first; valid only during the change.
    virtual void GetSnapshots(std::vector<const IParam*>& out) const = 0;
    /// The innermost open value snapshot, or null outside a change.
    virtual const IParam* GetTopSnapshot() const = 0;
    /// Value history (nothing in this system adds to it).
    virtual unsigned GetHistoryCount() const = 0;
    virtual void ClearHistory() = 0;

    /// Installs `guard` (not owned); false when null or a guard is set already.
    virtual bool SetGuard(IParamGuard* guard) = 0;
    /// Removes `guard`; false when it is not the current guard.
    virtual bool ClearGuard(IParamGuard* guard) = 0;
    /// A value change without a mutation: always asks the guard, notifies if the value
    /// changed meanwhile (a bound expression). False when the guard vetoes.
    virtual bool Revalidate() = 0;
    /// Reports every attribute (mask 63) as an attribute change.
    virtual bool NotifyAllAttributes() = 0;
    /// By the definition's edit mode: 0 always, 1 unless read-only, other values never.
    virtual bool IsEditable() const = 0;

    /// Adds `observer` (not owned; it must stay alive while attached or detach itself)
    /// and calls its OnAttached. With `deliverNow` it then gets OnValueChanged and
    /// OnAttributesChanged(63) before this returns. False for null or a duplicate.
    virtual bool AddObserver(IParamObserver* observer, bool deliverNow) = 0;
    /// Removes `observer` and calls its OnDetached; false when it is not attached.
    virtual bool RemoveObserver(IParamObserver* observer) = 0;

    /// The value object, valid or not; never null; owned by the parameter.
    virtual const IParamObject* GetValue() const = 0;
    /// The value object, or null when invalid.
    virtual const IParamObject* GetValidValue() const = 0;
    /// Assigns `value` (same value type required) and marks the value valid. True at
    /// once, without snapshot or notification, when the valid value already equals it.
    virtual bool SetValue(const IParamObject& value, bool checked) = 0;

    virtual ~IParam() = default;
};
