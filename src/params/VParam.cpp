#include "params/VParam.h"

#include "params/VParamDefinition.h"

#include <cstring>

namespace
{
VParamOption CopyOption(const VParamOption& option)
{
    return VParamOption{option.m_Label, std::make_unique<VParam>(*option.m_Param)};
}

bool SameOptions(const std::vector<VParamOption>& a, const std::vector<VParamOption>& b)
{
    if (a.size() != b.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (a[i].m_Label.Str() != b[i].m_Label.Str() || !a[i].m_Param->Equals(*b[i].m_Param, true))
        {
            return false;
        }
    }
    return true;
}
} // namespace

VParam::VAttributes::VAttributes(const VAttributes& other)
    : m_ReadOnly(other.m_ReadOnly), m_FlagA(other.m_FlagA), m_FlagB(other.m_FlagB),
      m_FlagC(other.m_FlagC), m_OptionRange(other.m_OptionRange), m_OptionMode2(other.m_OptionMode2)
{
    m_Options.reserve(other.m_Options.size());
    for (const VParamOption& option : other.m_Options)
    {
        m_Options.push_back(CopyOption(option));
    }
}

VParam::VAttributes& VParam::VAttributes::operator=(const VAttributes& other)
{
    if (this != &other)
    {
        VAttributes copy(other);
        *this = std::move(copy);
    }
    return *this;
}

VParam::VParam(const IParamObject& prototypeValue)
    : m_Value(prototypeValue.Clone()), m_SemanticType(new ISemanticTypeNull(), VDestroyDeleter())
{
}

VParam::VParam(const VParamDefinition& definition, const IParamObject& prototypeValue,
               const ISemanticType& semanticType)
    : m_Value(prototypeValue.Clone()), m_Definition(&definition),
      m_SemanticType(semanticType.Clone(), VDestroyDeleter())
{
}

VParam::VParam(const VParam& other)
    : VObservedHelper(other), IParamHandler(), m_Valid(other.m_Valid),
      m_Value(other.m_Value->Clone()), m_Handler(other.m_Handler),
      m_Expression(other.m_Expression ? other.m_Expression->Clone() : nullptr),
      m_Definition(other.m_Definition), m_Persistent(other.m_Persistent),
      m_Attributes(other.m_Attributes), m_SemanticType(other.m_SemanticType)
{
    AdoptOwnOptions();
}

VParam::~VParam()
{
    // Observers must still see a whole parameter in OnDetached.
    DetachAllObservers();
}

const char* VParam::GetKey() const
{
    return m_Definition != nullptr ? m_Definition->GetKey() : "";
}

const char* VParam::GetDisplayName() const
{
    return m_Definition != nullptr ? m_Definition->GetDisplayName() : "";
}

const char* VParam::GetDescription() const
{
    return m_Definition != nullptr ? m_Definition->GetDescription() : "";
}

const char* VParam::GetGroup() const
{
    return m_Definition != nullptr ? m_Definition->GetGroup() : "";
}

bool VParam::IsValid() const
{
    if (m_Expression)
    {
        m_Valid = m_Expression->Evaluate(*m_Value);
    }
    return m_Valid;
}

bool VParam::Invalidate(bool checked)
{
    BeginValueChange();
    m_Expression.reset();
    m_Valid = false;
    return EndValueChange(checked, false);
}

bool VParam::ToString(IString& out) const
{
    if (!IsValid())
    {
        return false;
    }
    m_Value->ToString(out);
    return true;
}

bool VParam::FromString(const IString& text, bool checked)
{
    BeginValueChange();
    m_Expression.reset();
    if (!m_Value->FromString(text))
    {
        return AbortValueChange();
    }
    m_Valid = true;
    return EndValueChange(checked, false);
}

bool VParam::HasValidDefault() const
{
    return m_Definition != nullptr && m_Definition->GetPrototype().IsValid();
}

bool VParam::IsDefault() const
{
    return HasValidDefault() && IsValid() &&
           m_Value->Equals(*m_Definition->GetPrototype().GetValue());
}

bool VParam::CanConvertFrom(const IParam& other) const
{
    return m_SemanticType->CanConvert(other, *this);
}

bool VParam::GetDisplayText(IString& out) const
{
    return m_SemanticType->ToDisplayText(*this, out);
}

bool VParam::ParseDisplayText(const IString& text, IParamObject& out) const
{
    return m_SemanticType->FromDisplayText(*this, text, out);
}

bool VParam::GetExpressionText(IString& out) const
{
    if (!m_Expression)
    {
        return false;
    }
    m_Expression->GetText(out);
    return true;
}

bool VParam::IsBoundTo(const char* text) const
{
    if (!m_Expression || text == nullptr)
    {
        return false;
    }
    VStringStd bound;
    m_Expression->GetText(bound);
    return bound.Str() == text;
}

bool VParam::BindExpression(const char* text, bool checked)
{
    TDestroyPtr<IParamExpression> expression(
        m_SemanticType->CreateExpression(text != nullptr ? text : "", *this));
    if (!expression)
    {
        return false;
    }
    BeginValueChange();
    m_Expression = std::move(expression);
    return EndValueChange(checked, true);
}

bool VParam::ResolveExpression(bool checked)
{
    if (!m_Expression)
    {
        return false;
    }
    BeginValueChange();
    m_Valid = m_Expression->Evaluate(*m_Value);
    m_Expression.reset();
    return EndValueChange(checked, true);
}

bool VParam::IsInRange() const
{
    if (!IsValid())
    {
        return false;
    }
    const std::vector<VParamOption>& options = ActiveOptions();
    if (options.empty())
    {
        return true;
    }
    if (IsOptionRange())
    {
        const IParam* min = FindOption("Min");
        if (min != nullptr && min->IsValid() && m_Value->IsLess(*min->GetValue()))
        {
            return false;
        }
        const IParam* max = FindOption("Max");
        if (max != nullptr && max->IsValid() && max->GetValue()->IsLess(*m_Value))
        {
            return false;
        }
        return true;
    }
    for (const VParamOption& option : options)
    {
        if (option.m_Param->IsValid() && option.m_Param->GetValue()->Equals(*m_Value))
        {
            return true;
        }
    }
    return false;
}

bool VParam::HasSameDefinition(const IParam& other) const
{
    const auto* param = dynamic_cast<const VParam*>(&other);
    return param != nullptr && m_Definition != nullptr && param->m_Definition == m_Definition;
}

bool VParam::CopyFrom(const IParam& other)
{
    const auto* source = dynamic_cast<const VParam*>(&other);
    if (source == nullptr)
    {
        return false;
    }
    if (source == this || Equals(other, false))
    {
        return true;
    }

    BeginValueChange();
    if (!m_Value->Assign(*source->m_Value))
    {
        return AbortValueChange();
    }
    m_Valid = source->m_Valid;
    m_Expression.reset(source->m_Expression ? source->m_Expression->Clone() : nullptr);
    if (!EndValueChange(false, false))
    {
        return false;
    }

    m_Persistent = source->m_Persistent;
    BeginAttributeChange();
    m_Attributes = source->m_Attributes;
    AdoptOwnOptions();
    return EndAttributeChange(0);
}

void VParam::BeginAttributeChange()
{
    if (m_AttributeSnapshots.empty())
    {
        m_AttributeSnapshots.push_back(std::make_unique<VAttributes>(m_Attributes));
    }
    else
    {
        m_AttributeSnapshots.push_back(nullptr);
    }
}

bool VParam::EndAttributeChange(unsigned extraMask)
{
    if (m_AttributeSnapshots.empty())
    {
        return false; // an End without its Begin
    }
    m_PendingAttributeMask |= extraMask;
    if (m_AttributeSnapshots.size() > 1)
    {
        m_AttributeSnapshots.pop_back();
        return true;
    }

    // The copy stays on the stack while the guard is asked, so that attribute
    // changes made from inside the guard are nested in this one.
    VAttributes& before = *m_AttributeSnapshots.back();
    const unsigned mask = CompareAttributes(before, m_Attributes) | m_PendingAttributeMask;
    m_PendingAttributeMask = 0;
    bool allowed = true;
    if (mask != 0 && m_Guard != nullptr && !m_Guard->AllowAttributeChange(*this, mask))
    {
        m_Attributes = std::move(before);
        AdoptOwnOptions();
        allowed = false;
    }
    m_AttributeSnapshots.pop_back();
    if (allowed && mask != 0)
    {
        NotifyObservers([this, mask](IParamObserver& observer)
                        { observer.OnAttributesChanged(*this, mask); });
    }
    return allowed;
}

bool VParam::SetReadOnly(bool readOnly)
{
    return SetAttributeFlag(&VAttributes::m_ReadOnly, readOnly);
}

bool VParam::SetFlagB(bool flag)
{
    return SetAttributeFlag(&VAttributes::m_FlagB, flag);
}

bool VParam::IsFlagB() const
{
    return m_Attributes.m_FlagB || (m_Handler != nullptr && m_Handler->IsParamFlagB(*this));
}

bool VParam::SetPersistent(bool persistent)
{
    m_Persistent = persistent;
    return true;
}

bool VParam::SetFlagA(bool flag)
{
    return SetAttributeFlag(&VAttributes::m_FlagA, flag);
}

bool VParam::SetFlagC(bool flag)
{
    return SetAttributeFlag(&VAttributes::m_FlagC, flag);
}

void VParam::GetOptionCount(unsigned& out) const
{
    out = static_cast<unsigned>(ActiveOptions().size());
}

bool VParam::GetOptionValue(unsigned index, IString& label, const IParam*& value) const
{
    const std::vector<VParamOption>& options = ActiveOptions();
    if (index >= options.size())
    {
        return false;
    }
    label.Assign(options[index].m_Label.CStr());
    value = options[index].m_Param.get();
    return true;
}

const IParam* VParam::FindOption(const char* label) const
{
    const char* wanted = label != nullptr ? label : "";
    for (const VParamOption& option : ActiveOptions())
    {
        if (option.m_Label.Str() == wanted)
        {
            return option.m_Param.get();
        }
    }
    return nullptr;
}

bool VParam::FindSelectedOption(unsigned* index, const IParam** option, IString* label) const
{
    if (!IsValid())
    {
        return false;
    }
    const std::vector<VParamOption>& options = ActiveOptions();
    for (std::size_t i = 0; i < options.size(); ++i)
    {
        const VParam& candidate = *options[i].m_Param;
        if (candidate.IsValid() && candidate.GetValue()->Equals(*m_Value))
        {
            if (index != nullptr)
            {
                *index = static_cast<unsigned>(i);
            }
            if (option != nullptr)
            {
                *option = &candidate;
            }
            if (label != nullptr)
            {
                label->Assign(options[i].m_Label.CStr());
            }
            return true;
        }
    }
    return false;
}

bool VParam::IsOptionRange() const
{
    if (HasOwnOptions() || m_Definition == nullptr)
    {
        return m_Attributes.m_OptionRange;
    }
    return m_Definition->IsOptionRange();
}

bool VParam::IsOptionMode2() const
{
    if (HasOwnOptions() || m_Definition == nullptr)
    {
        return m_Attributes.m_OptionMode2;
    }
    return m_Definition->IsOptionMode2();
}

bool VParam::SelectOption(const char* label, bool checked)
{
    return SelectOptionParam(FindOption(label), checked);
}

bool VParam::SelectOption(unsigned index, bool checked)
{
    const std::vector<VParamOption>& options = ActiveOptions();
    if (index >= options.size())
    {
        return false;
    }
    return SelectOptionParam(options[index].m_Param.get(), checked);
}

bool VParam::SetOptionRange(bool range)
{
    return SetAttributeFlag(&VAttributes::m_OptionRange, range);
}

bool VParam::SetOptionMode2(bool mode)
{
    return SetAttributeFlag(&VAttributes::m_OptionMode2, mode);
}

bool VParam::ClearOwnOptions()
{
    if (m_Attributes.m_Options.empty())
    {
        return true;
    }
    BeginAttributeChange();
    m_Attributes.m_Options.clear();
    return EndAttributeChange(0);
}

IParam* VParam::AddOwnOption(const char* label)
{
    const std::string text = label != nullptr ? label : "";
    if (!text.empty())
    {
        for (const VParamOption& option : m_Attributes.m_Options)
        {
            if (option.m_Label.Str() == text)
            {
                return nullptr;
            }
        }
    }
    auto param = std::make_unique<VParam>(*m_Value);
    param->m_Definition = m_Definition;
    param->m_SemanticType = m_SemanticType;
    param->m_Handler = this;
    VParam* added = param.get();

    BeginAttributeChange();
    m_Attributes.m_Options.push_back(VParamOption{VStringStd(text), std::move(param)});
    if (!EndAttributeChange(0))
    {
        return nullptr;
    }
    return added;
}

void VParam::GetSnapshots(std::vector<const IParam*>& out) const
{
    out.clear();
    for (const std::unique_ptr<VParam>& snapshot : m_ValueSnapshots)
    {
        out.push_back(snapshot.get());
    }
}

const IParam* VParam::GetTopSnapshot() const
{
    return m_ValueSnapshots.empty() ? nullptr : m_ValueSnapshots.back().get();
}

unsigned VParam::GetHistoryCount() const
{
    return static_cast<unsigned>(m_History.size());
}

void VParam::ClearHistory()
{
    m_History.clear();
}

bool VParam::SetGuard(IParamGuard* guard)
{
    if (guard == nullptr || m_Guard != nullptr)
    {
        return false;
    }
    m_Guard = guard;
    return true;
}

bool VParam::ClearGuard(IParamGuard* guard)
{
    if (guard == nullptr || guard != m_Guard)
    {
        return false;
    }
    m_Guard = nullptr;
    return true;
}

bool VParam::Revalidate()
{
    BeginValueChange();
    if (m_Expression)
    {
        m_Valid = m_Expression->Evaluate(*m_Value);
    }
    // The guard is asked even when nothing changed: installing a list guard and
    // revalidating is how an owner learns every parameter's current value.
    return EndValueChange(false, true);
}

bool VParam::NotifyAllAttributes()
{
    BeginAttributeChange();
    return EndAttributeChange(ParamAttributes::All);
}

bool VParam::IsEditable() const
{
    const int32_t mode = m_Definition != nullptr ? m_Definition->GetEditMode() : 0;
    if (mode == 0)
    {
        return true;
    }
    if (mode == 1)
    {
        return !IsReadOnly();
    }
    return false;
}

const IParamObject* VParam::GetValidValue() const
{
    return IsValid() ? m_Value.get() : nullptr;
}

bool VParam::SetValue(const IParamObject& value, bool checked)
{
    if (IsValid() && m_Value->Equals(value))
    {
        return true;
    }
    BeginValueChange();
    m_Expression.reset();
    if (!m_Value->Assign(value))
    {
        return AbortValueChange();
    }
    m_Valid = true;
    return EndValueChange(checked, false);
}

void VParam::OnObserverAdded(IParamObserver* observer, bool deliverNow)
{
    if (!deliverNow)
    {
        return;
    }
    observer->OnValueChanged(*this);
    if (IsObserver(observer))
    {
        observer->OnAttributesChanged(*this, ParamAttributes::All);
    }
}

bool VParam::Equals(const IParam& other, bool valueOnly) const
{
    const auto* param = dynamic_cast<const VParam*>(&other);
    if (param == nullptr)
    {
        return false;
    }
    if (param == this)
    {
        return true;
    }
    if (m_Valid != param->m_Valid || !m_Value->Equals(*param->m_Value) || !SameExpression(*param))
    {
        return false;
    }
    if (valueOnly)
    {
        return true;
    }
    return m_Persistent == param->m_Persistent &&
           CompareAttributes(m_Attributes, param->m_Attributes) == 0;
}

bool VParam::IsParamFlagB(const IParam&) const
{
    return IsFlagB();
}

IParamList* VParam::GetParamList() const
{
    return m_Handler != nullptr ? m_Handler->GetParamList() : nullptr;
}

unsigned VParam::CompareAttributes(const VAttributes& a, const VAttributes& b)
{
    unsigned mask = 0;
    if (a.m_ReadOnly != b.m_ReadOnly)
    {
        mask |= ParamAttributes::ReadOnly;
    }
    if (a.m_FlagA != b.m_FlagA)
    {
        mask |= ParamAttributes::FlagA;
    }
    if (a.m_FlagB != b.m_FlagB)
    {
        mask |= ParamAttributes::FlagB;
    }
    if (a.m_FlagC != b.m_FlagC)
    {
        mask |= ParamAttributes::FlagC;
    }
    if (!SameOptions(a.m_Options, b.m_Options))
    {
        mask |= ParamAttributes::Options;
    }
    if (a.m_OptionRange != b.m_OptionRange || a.m_OptionMode2 != b.m_OptionMode2)
    {
        mask |= ParamAttributes::OptionModes;
    }
    return mask;
}

const std::vector<VParamOption>& VParam::ActiveOptions() const
{
    if (HasOwnOptions() || m_Definition == nullptr)
    {
        return m_Attributes.m_Options;
    }
    return m_Definition->GetOptions();
}

void VParam::AdoptOwnOptions()
{
    for (VParamOption& option : m_Attributes.m_Options)
    {
        option.m_Param->m_Handler = this;
    }
}

bool VParam::SetAttributeFlag(bool VAttributes::*flag, bool value)
{
    if (m_Attributes.*flag == value)
    {
        return true;
    }
    BeginAttributeChange();
    m_Attributes.*flag = value;
    return EndAttributeChange(0);
}

bool VParam::SelectOptionParam(const IParam* option, bool checked)
{
    if (option == nullptr || !option->IsValid())
    {
        return false;
    }
    return SetValue(*option->GetValue(), checked);
}

bool VParam::SameExpression(const VParam& other) const
{
    if (!m_Expression || !other.m_Expression)
    {
        return !m_Expression && !other.m_Expression;
    }
    VStringStd mine;
    VStringStd theirs;
    m_Expression->GetText(mine);
    other.m_Expression->GetText(theirs);
    return mine == theirs;
}

void VParam::BeginValueChange()
{
    m_ValueSnapshots.push_back(std::make_unique<VParam>(*this));
}

bool VParam::EndValueChange(bool checked, bool alwaysAskGuard)
{
    if (m_ValueSnapshots.size() > 1)
    {
        m_ValueSnapshots.pop_back();
        return true;
    }

    // The snapshot stays on the stack while the guard is asked, so that changes the
    // guard makes to this parameter are nested in this one.
    const VParam& snapshot = *m_ValueSnapshots.back();
    bool allowed = true;
    bool changed = false;
    if (!Equals(snapshot, true))
    {
        if (checked && IsReadOnly())
        {
            allowed = false;
        }
        else if (m_Guard != nullptr && !m_Guard->AllowValueChange(*this))
        {
            allowed = false;
        }
        else
        {
            changed = !Equals(snapshot, true);
        }
    }
    else if (alwaysAskGuard && m_Guard != nullptr)
    {
        allowed = m_Guard->AllowValueChange(*this);
    }

    if (!allowed)
    {
        return AbortValueChange();
    }
    m_ValueSnapshots.pop_back();
    if (changed)
    {
        NotifyObservers([this](IParamObserver& observer) { observer.OnValueChanged(*this); });
    }
    return true;
}

bool VParam::AbortValueChange()
{
    RestoreValue(*m_ValueSnapshots.back());
    m_ValueSnapshots.pop_back();
    return false;
}

void VParam::RestoreValue(const VParam& snapshot)
{
    m_Value->Assign(*snapshot.m_Value);
    m_Valid = snapshot.m_Valid;
    m_Expression.reset(snapshot.m_Expression ? snapshot.m_Expression->Clone() : nullptr);
}
