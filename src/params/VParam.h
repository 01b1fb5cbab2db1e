// The parameter: one typed value with validity, attributes, options, a guard and
// observers, changed in nested change sets.
#pragma once

#include "params/IParam.h"
#include "params/VObservedHelper.h"

#include <memory>
#include <string>
#include <vector>

class VParam;
class VParamDefinition;

/// One option of a definition or a parameter: a label (possibly empty) and a
/// parameter holding the option's value. The option owns that parameter.
struct VParamOption
{
    VStringStd m_Label;
    std::unique_ptr<VParam> m_Param;
};

/// A parameter. Created by its definition (the prototype), by a parameter list (one
/// per definition) or standalone from a value object; owned by whoever created it
/// (definition, list, owning parameter for options). It does not own its observers,
/// guard, handler or definition; the definition must outlive it.
///
/// Value changes: every mutator of the value pushes a snapshot (a copy of the
/// parameter), applies the change and ends it. At the end of the outermost change, if
/// the parameter differs from the snapshot (value, validity or bound expression), a
/// checked change of a read-only parameter is refused, then the guard may veto; a
/// refusal restores the snapshot and returns false. The snapshot is then popped and,
/// if the value still differs, observers are told OnValueChanged once. Nested changes
/// (made from inside a guard, or by a caller bracketing several mutators) only push
/// and pop. Observers run after the change is complete, so a change they make is a
/// change of its own, checked and notified.
///
/// Attribute changes work alike with a copy of the attribute block; the change mask
/// (ParamAttributes bits) compares the block with the copy.
///
/// Threading: no lock; the owner serialises every call (the main thread in this
/// system). Not assignable; the copy constructor makes a detached copy (see there).
class VParam final : public VObservedHelper<IParam, IParamObserver>, public IParamHandler
{
public:
    /// A parameter without definition holding a clone of `prototypeValue`, invalid.
    explicit VParam(const IParamObject& prototypeValue);
    /// The prototype parameter of `definition`: a clone of `prototypeValue`, invalid,
    /// with a clone of `semanticType`.
    VParam(const VParamDefinition& definition, const IParamObject& prototypeValue,
           const ISemanticType& semanticType);
    /// A detached copy: value, validity, bound expression, attributes (own options
    /// copied deeply), persistent flag, definition, handler and semantic type; no
    /// observers, guard, snapshots or history.
    VParam(const VParam& other);
    VParam& operator=(const VParam&) = delete;
    /// Tells every observer OnDetached first.
    ~VParam() override;

    const IParamHandler* GetHandler() const override { return m_Handler; }
    IParamHandler* GetHandler() override { return m_Handler; }
    const char* GetKey() const override;
    const char* GetDisplayName() const override;
    const char* GetDescription() const override;
    const char* GetGroup() const override;
    const ISemanticType& GetSemanticType() const override { return *m_SemanticType; }
    ISemanticType& GetSemanticType() override { return *m_SemanticType; }
    bool IsValid() const override;
    bool Invalidate(bool checked) override;
    bool ToString(IString& out) const override;
    bool FromString(const IString& text, bool checked) override;
    bool HasValidDefault() const override;
    bool IsDefault() const override;
    bool CanConvertFrom(const IParam& other) const override;
    bool GetDisplayText(IString& out) const override;
    bool ParseDisplayText(const IString& text, IParamObject& out) const override;
    bool GetExpressionText(IString& out) const override;
    bool IsBoundTo(const char* text) const override;
    bool BindExpression(const char* text, bool checked) override;
    bool ResolveExpression(bool checked) override;
    bool IsInRange() const override;
    bool HasSameDefinition(const IParam& other) const override;
    /// `other` must be a VParam of the same value type; false otherwise.
    bool CopyFrom(const IParam& other) override;
    bool EqualsValue(const IParam& other) const override { return Equals(other, true); }
    void BeginAttributeChange() override;
    bool EndAttributeChange(unsigned extraMask) override;
    bool SetReadOnly(bool readOnly) override;
    bool IsReadOnly() const override { return m_Attributes.m_ReadOnly; }
    bool SetFlagB(bool flag) override;
    bool IsFlagB() const override;
    bool SetPersistent(bool persistent) override;
    bool IsPersistent() const override { return m_Persistent; }
    bool SetFlagA(bool flag) override;
    bool IsFlagA() const override { return m_Attributes.m_FlagA; }
    bool SetFlagC(bool flag) override;
    bool IsFlagC() const override { return m_Attributes.m_FlagC; }
    void GetOptionCount(unsigned& out) const override;
    bool GetOptionValue(unsigned index, IString& label, const IParam*& value) const override;
    const IParam* FindOption(const char* label) const override;
    bool FindSelectedOption(unsigned* index, const IParam** option, IString* label) const override;
    bool IsOptionRange() const override;
    bool IsOptionMode2() const override;
    bool HasOwnOptions() const override { return !m_Attributes.m_Options.empty(); }
    bool SelectOption(const char* label, bool checked) override;
    bool SelectOption(unsigned index, bool checked) override;
    bool SetOptionRange(bool range) override;
    bool SetOptionMode2(bool mode) override;
    bool ClearOwnOptions() override;
    IParam* AddOwnOption(const char* label) override;
    void GetSnapshots(std::vector<const IParam*>& out) const override;
    const IParam* GetTopSnapshot() const override;
    unsigned GetHistoryCount() const override;
    void ClearHistory() override;
    bool SetGuard(IParamGuard* guard) override;
    bool ClearGuard(IParamGuard* guard) override;
    bool Revalidate() override;
    bool NotifyAllAttributes() override;
    bool IsEditable() const override;
    const IParamObject* GetValue() const override { return m_Value.get(); }
    const IParamObject* GetValidValue() const override;
    bool SetValue(const IParamObject& value, bool checked) override;

    /// With `deliverNow`: OnValueChanged, then OnAttributesChanged(63) unless the
    /// observer removed itself meanwhile.
    void OnObserverAdded(IParamObserver* observer, bool deliverNow) override;
    /// Sets the handler (not owned); null clears it.
    void SetHandler(IParamHandler* handler) { m_Handler = handler; }
    /// Same value and validity and bound expression; unless `valueOnly`, also the
    /// same attributes and persistent flag. False when `other` is not a VParam.
    bool Equals(const IParam& other, bool valueOnly) const;

    /// The definition, or null.
    const VParamDefinition* GetDefinition() const { return m_Definition; }

    // IParamHandler, for the parameters of own options: they are flag B when their
    // owner is, and belong to the owner's list.
    bool IsParamFlagB(const IParam& param) const override;
    IParamList* GetParamList() const override;

private:
    struct VAttributes
    {
        bool m_ReadOnly = false;
        bool m_FlagA = false;
        bool m_FlagB = false;
        bool m_FlagC = false;
        std::vector<VParamOption> m_Options;
        bool m_OptionRange = false;
        bool m_OptionMode2 = true;

        VAttributes() = default;
        VAttributes(const VAttributes& other);
        VAttributes(VAttributes&&) = default;
        VAttributes& operator=(const VAttributes& other);
        VAttributes& operator=(VAttributes&&) = default;
    };

    static unsigned CompareAttributes(const VAttributes& a, const VAttributes& b);
    const std::vector<VParamOption>& ActiveOptions() const;
    void AdoptOwnOptions();
    bool SetAttributeFlag(bool VAttributes::*flag, bool value);
    bool SelectOptionParam(const IParam* option, bool checked);
    bool SameExpression(const VParam& other) const;

    void BeginValueChange();
    /// Ends a value change; `alwaysAskGuard` asks the guard even when nothing differs.
    bool EndValueChange(bool checked, bool alwaysAskGuard);
    /// Restores the innermost snapshot, pops it and returns false.
    bool AbortValueChange();
    void RestoreValue(const VParam& snapshot);

    mutable bool m_Valid = false;
    TDestroyPtr<IParamObject> m_Value;
    std::vector<TDestroyPtr<IParamObject>> m_History;
    IParamHandler* m_Handler = nullptr;
    TDestroyPtr<IParamExpression> m_Expression;
    const VParamDefinition* m_Definition = nullptr;
    std::vector<std::unique_ptr<VParam>> m_ValueSnapshots;
    IParamGuard* m_Guard = nullptr;
    bool m_Persistent = false;
    VAttributes m_Attributes;
    // One entry per open attribute change: a copy for the outermost, null markers
    // for nested ones.
    std::vector<std::unique_ptr<VAttributes>> m_AttributeSnapshots;
    unsigned m_PendingAttributeMask = 0;
    std::shared_ptr<ISemanticType> m_SemanticType;
};
