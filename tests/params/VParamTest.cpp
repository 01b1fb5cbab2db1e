#include "params/ParamAccess.h"
#include "params/VObserverHelper.h"
#include "params/VParam.h"
#include "params/VParamDefinition.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{

std::string TextOf(const IParam& param)
{
    VStringStd text;
    if (!param.ToString(text))
    {
        return "<invalid>";
    }
    return text.Str();
}

// Records every callback as text, e.g. "value 5" or "attributes 63"; detaches itself
// when destroyed.
class RecordingObserver : public VObserverHelper
{
public:
    void OnAttached(const IParam& param) override
    {
        VObserverHelper::OnAttached(param);
        m_Events.push_back("attached");
    }
    void OnDetached(const IParam& param) override
    {
        VObserverHelper::OnDetached(param);
        m_Events.push_back("detached");
    }
    void OnValueChanged(const IParam& param) override
    {
        m_Events.push_back("value " + TextOf(param));
        if (m_OnValue)
        {
            m_OnValue(param);
        }
    }
    void OnAttributesChanged(const IParam&, unsigned mask) override
    {
        m_Events.push_back("attributes " + std::to_string(mask));
        if (m_OnAttributes)
        {
            m_OnAttributes();
        }
    }

    std::vector<std::string> m_Events;
    std::function<void(const IParam&)> m_OnValue;
    std::function<void()> m_OnAttributes;
};

// A guard whose answers and side effects the test chooses.
class TestGuard : public IParamGuard
{
public:
    bool AllowValueChange(IParam& param) override
    {
        ++m_ValueRequests;
        m_SeenValues.push_back(TextOf(param));
        if (m_OnValue)
        {
            m_OnValue(param);
        }
        return m_AllowValue;
    }
    bool AllowAttributeChange(IParam&, unsigned mask) override
    {
        m_AttributeMasks.push_back(mask);
        return m_AllowAttributes;
    }

    bool m_AllowValue = true;
    bool m_AllowAttributes = true;
    int m_ValueRequests = 0;
    std::vector<std::string> m_SeenValues;
    std::vector<unsigned> m_AttributeMasks;
    std::function<void(IParam&)> m_OnValue;
};

// An integer parameter holding `value`, valid, with no observer.
std::unique_ptr<VParam> MakeInt(int32_t value)
{
    auto param = std::make_unique<VParam>(VParamInt32());
    SetParamValue<int32_t>(*param, value, false);
    return param;
}

// Builds expressions "=N" that evaluate to N; anything else is refused.
class ConstantExpression : public IParamExpression
{
public:
    explicit ConstantExpression(std::string text) : m_Text(std::move(text)) {}
    void Destroy() override { delete this; }
    IParamExpression* Clone() const override { return new ConstantExpression(m_Text); }
    void GetText(IString& out) const override { out.Assign(m_Text.c_str()); }
    bool Evaluate(IParamObject& out) const override
    {
        return out.FromString(VStringStd(m_Text.substr(1)));
    }

private:
    std::string m_Text;
};

class ConstantSemanticType : public ISemanticType
{
public:
    void Destroy() override { delete this; }
    ISemanticType* Clone() const override { return new ConstantSemanticType(); }
    IParamExpression* CreateExpression(const char* text, const IParam&) const override
    {
        return text[0] == '=' ? new ConstantExpression(text) : nullptr;
    }
    bool CanConvert(const IParam&, const IParam&) const override { return true; }
    bool ToDisplayText(const IParam&, IString&) const override { return false; }
    bool FromDisplayText(const IParam&, const IString&, IParamObject&) const override
    {
        return false;
    }
};

} // namespace

TEST(ParamValue, SettingTheHeldValueChangesNothing)
{
    auto param = MakeInt(5);
    RecordingObserver observer;
    TestGuard guard;
    param->AddObserver(&observer, false);
    param->SetGuard(&guard);

    EXPECT_TRUE(SetParamValue<int32_t>(*param, 5, true));
    EXPECT_EQ(observer.m_Events, std::vector<std::string>{"attached"}) << "nobody notified";
    EXPECT_EQ(guard.m_ValueRequests, 0) << "no change set was opened";
    EXPECT_EQ(param->GetTopSnapshot(), nullptr);

    // An invalid parameter that happens to hold the same value becomes valid: a change.
    auto invalid = std::make_unique<VParam>(VParamInt32(5));
    RecordingObserver second;
    invalid->AddObserver(&second, false);
    EXPECT_TRUE(SetParamValue<int32_t>(*invalid, 5, true));
    EXPECT_TRUE(invalid->IsValid());
    EXPECT_EQ(second.m_Events, (std::vector<std::string>{"attached", "value 5"}));
}

TEST(ParamValue, ReadOnlyRefusesOnlyCheckedChanges)
{
    auto param = MakeInt(1);
    param->SetReadOnly(true);
    RecordingObserver observer;
    TestGuard guard;
    param->AddObserver(&observer, false);
    param->SetGuard(&guard);

    // Checked: every mutator is refused, nothing changes, nobody hears of it.
    EXPECT_FALSE(SetParamValue<int32_t>(*param, 2, true));
    EXPECT_FALSE(param->FromString(VStringStd("3"), true));
    EXPECT_FALSE(param->Invalidate(true));
    EXPECT_EQ(TextOf(*param), "1");
    EXPECT_EQ(observer.m_Events, std::vector<std::string>{"attached"});
    EXPECT_EQ(guard.m_ValueRequests, 0);

    // Unchecked: the owner changes its own read-only parameters freely.
    EXPECT_TRUE(SetParamValue<int32_t>(*param, 2, false));
    EXPECT_EQ(TextOf(*param), "2");
    EXPECT_EQ(observer.m_Events, (std::vector<std::string>{"attached", "value 2"}));
    EXPECT_EQ(guard.m_ValueRequests, 1);
}

TEST(ParamValue, FromStringParsesOrKeepsTheOldValue)
{
    auto integer = MakeInt(7);
    RecordingObserver observer;
    integer->AddObserver(&observer, false);

    EXPECT_TRUE(integer->FromString(VStringStd(" 42 "), true));
    EXPECT_EQ(TextOf(*integer), "42");
    EXPECT_FALSE(integer->FromString(VStringStd("42x"), true));
    EXPECT_TRUE(integer->IsValid()) << "a failed parse does not invalidate";
    EXPECT_EQ(TextOf(*integer), "42");
    EXPECT_EQ(observer.m_Events, (std::vector<std::string>{"attached", "value 42"}));
    EXPECT_EQ(integer->GetTopSnapshot(), nullptr);

    VParam boolean(VParamBool(false));
    EXPECT_FALSE(boolean.FromString(VStringStd("true"), true));
    EXPECT_FALSE(boolean.IsValid()) << "still unset";
    EXPECT_TRUE(boolean.FromString(VStringStd("1"), true));
    bool read = false;
    EXPECT_TRUE(GetValidParamValue<bool>(boolean, read));
    EXPECT_TRUE(read);

    VParam real(VParamDouble(0.0));
    ASSERT_TRUE(SetParamValue<double>(real, 100.5, false));
    EXPECT_EQ(TextOf(real), "100.5");
    ASSERT_TRUE(SetParamValue<double>(real, 1234567.0, false));
    EXPECT_EQ(TextOf(real), "1.23457e+06");
}

TEST(ParamValue, TypeMismatchAndInvalidation)
{
    auto param = MakeInt(3);
    RecordingObserver observer;
    param->AddObserver(&observer, false);

    EXPECT_FALSE(param->SetValue(VParamDouble(4.0), false));
    EXPECT_FALSE(SetParamValue<uint32_t>(*param, 4u, false));
    EXPECT_FALSE(SetParamValue(*param, "4", false)) << "text is not converted";
    double real = 0.0;
    EXPECT_FALSE(GetParamValue<double>(*param, real));
    EXPECT_EQ(TextOf(*param), "3");
    EXPECT_EQ(param->GetTopSnapshot(), nullptr);

    EXPECT_TRUE(param->Invalidate(true));
    EXPECT_FALSE(param->IsValid());
    EXPECT_EQ(param->GetValidValue(), nullptr);
    ASSERT_NE(param->GetValue(), nullptr) << "the value object stays";
    int32_t held = 0;
    EXPECT_TRUE(GetParamValue<int32_t>(*param, held));
    EXPECT_EQ(held, 3);
    EXPECT_FALSE(GetValidParamValue<int32_t>(*param, held));
    EXPECT_EQ(observer.m_Events, (std::vector<std::string>{"attached", "value <invalid>"}));
}

TEST(ParamObservers, NewObserverGetsTheCurrentStateAtOnce)
{
    auto param = MakeInt(9);
    RecordingObserver observer;
    ASSERT_TRUE(param->AddObserver(&observer, true));
    EXPECT_EQ(observer.m_Events,
              (std::vector<std::string>{"attached", "value 9", "attributes 63"}));

    // A second registration is refused and delivers nothing.
    EXPECT_FALSE(param->AddObserver(&observer, true));
    EXPECT_FALSE(param->AddObserver(nullptr, true));
    EXPECT_EQ(observer.m_Events.size(), 3u);

    EXPECT_TRUE(param->RemoveObserver(&observer));
    EXPECT_FALSE(param->RemoveObserver(&observer));
    EXPECT_EQ(observer.m_Events.back(), "detached");
    SetParamValue<int32_t>(*param, 10, false);
    EXPECT_EQ(observer.m_Events.size(), 4u) << "a removed observer hears nothing";
}

TEST(ParamObservers, ObserversRemovedDuringNotificationAreNotCalled)
{
    auto param = MakeInt(0);
    RecordingObserver quitter;
    RecordingObserver victim;
    RecordingObserver remover;
    RecordingObserver last;
    quitter.m_OnValue = [&](const IParam&) { param->RemoveObserver(&quitter); };
    remover.m_OnValue = [&](const IParam&) { param->RemoveObserver(&victim); };
    // Order: remover, quitter, victim, last.
    param->AddObserver(&remover, false);
    param->AddObserver(&quitter, false);
    param->AddObserver(&victim, false);
    param->AddObserver(&last, false);

    SetParamValue<int32_t>(*param, 1, false);
    SetParamValue<int32_t>(*param, 2, false);
    EXPECT_EQ(quitter.m_Events, (std::vector<std::string>{"attached", "value 1", "detached"}));
    EXPECT_EQ(victim.m_Events, (std::vector<std::string>{"attached", "detached"}));
    EXPECT_EQ(last.m_Events, (std::vector<std::string>{"attached", "value 1", "value 2"}));

    // The same holds for attribute notifications.
    RecordingObserver attributeVictim;
    last.m_OnAttributes = [&] { param->RemoveObserver(&attributeVictim); };
    param->AddObserver(&attributeVictim, false);
    param->SetFlagA(true);
    EXPECT_EQ(attributeVictim.m_Events, (std::vector<std::string>{"attached", "detached"}));
}

TEST(ParamChange, ChangesMadeInsideTheGuardAreNestedAndNotifiedOnce)
{
    auto param = MakeInt(1);
    RecordingObserver observer;
    TestGuard guard;
    param->AddObserver(&observer, false);
    param->SetGuard(&guard);

    // The guard corrects 7 to 8: one guard request, one notification, final value.
    guard.m_OnValue = [&](IParam& changing)
    {
        std::vector<const IParam*> snapshots;
        changing.GetSnapshots(snapshots);
        ASSERT_EQ(snapshots.size(), 1u);
        EXPECT_EQ(TextOf(*snapshots[0]), "1") << "the snapshot holds the old value";
        int32_t value = 0;
        GetParamValue<int32_t>(changing, value);
        if (value == 7)
        {
            EXPECT_TRUE(SetParamValue<int32_t>(changing, 8, true));
        }
    };
    EXPECT_TRUE(SetParamValue<int32_t>(*param, 7, false));
    EXPECT_EQ(TextOf(*param), "8");
    EXPECT_EQ(guard.m_ValueRequests, 1);
    EXPECT_EQ(observer.m_Events, (std::vector<std::string>{"attached", "value 8"}));

    // A guard that sets the value straight back leaves nothing to report.
    guard.m_OnValue = [&](IParam& changing) { SetParamValue<int32_t>(changing, 8, false); };
    EXPECT_TRUE(SetParamValue<int32_t>(*param, 3, false));
    EXPECT_EQ(TextOf(*param), "8");
    EXPECT_EQ(observer.m_Events.size(), 2u);

    // Several attribute changes bracketed together: one notification, combined mask.
    param->BeginAttributeChange();
    param->SetReadOnly(true);
    param->SetFlagC(true);
    param->EndAttributeChange(0);
    EXPECT_EQ(observer.m_Events.back(),
              "attributes " + std::to_string(ParamAttributes::ReadOnly | ParamAttributes::FlagC));
    EXPECT_EQ(observer.m_Events.size(), 3u);
    EXPECT_EQ(guard.m_AttributeMasks.size(), 1u);
}

TEST(ParamChange, GuardVetoRestoresTheParameterAndLaterChangesStillWork)
{
    auto param = MakeInt(1);
    RecordingObserver observer;
    TestGuard guard;
    param->AddObserver(&observer, false);
    param->SetGuard(&guard);

    guard.m_AllowValue = false;
    EXPECT_FALSE(SetParamValue<int32_t>(*param, 2, false));
    EXPECT_FALSE(param->FromString(VStringStd("3"), false));
    EXPECT_FALSE(param->Invalidate(false));
    EXPECT_EQ(TextOf(*param), "1");
    EXPECT_EQ(param->GetTopSnapshot(), nullptr) << "a refused change pops its snapshot";
    EXPECT_EQ(observer.m_Events, std::vector<std::string>{"attached"});

    // Had the snapshot stayed, this change would count as nested: no guard, no notice.
    guard.m_AllowValue = true;
    EXPECT_TRUE(SetParamValue<int32_t>(*param, 4, false));
    EXPECT_EQ(guard.m_SeenValues, (std::vector<std::string>{"2", "3", "<invalid>", "4"}));
    EXPECT_EQ(observer.m_Events, (std::vector<std::string>{"attached", "value 4"}));

    // An attribute veto restores the flag and reports nothing.
    guard.m_AllowAttributes = false;
    EXPECT_FALSE(param->SetReadOnly(true));
    EXPECT_FALSE(param->IsReadOnly());
    EXPECT_EQ(param->AddOwnOption("Min"), nullptr);
    EXPECT_FALSE(param->HasOwnOptions());
    EXPECT_EQ(observer.m_Events.size(), 2u);

    // Guards are exclusive and only the installed one can be removed.
    TestGuard other;
    EXPECT_FALSE(param->SetGuard(&other));
    EXPECT_FALSE(param->ClearGuard(&other));
    EXPECT_TRUE(param->ClearGuard(&guard));
    EXPECT_TRUE(SetParamValue<int32_t>(*param, 5, false));
}

TEST(ParamChange, RevalidateAlwaysAsksTheGuard)
{
    auto param = MakeInt(6);
    RecordingObserver observer;
    TestGuard guard;
    param->AddObserver(&observer, false);
    param->SetGuard(&guard);

    EXPECT_TRUE(param->Revalidate());
    EXPECT_EQ(guard.m_SeenValues, std::vector<std::string>{"6"});
    guard.m_AllowValue = false;
    EXPECT_FALSE(param->Revalidate());
    EXPECT_EQ(guard.m_ValueRequests, 2);
    EXPECT_EQ(observer.m_Events, std::vector<std::string>{"attached"}) << "nothing changed";
    EXPECT_EQ(param->GetTopSnapshot(), nullptr);
}

TEST(ParamChange, AnObserverChangingTheSameParameterMakesAChangeOfItsOwn)
{
    auto param = MakeInt(0);
    TestGuard guard;
    RecordingObserver clamp;
    RecordingObserver watcher;
    clamp.m_OnValue = [&](const IParam& changed)
    {
        int32_t value = 0;
        GetParamValue<int32_t>(changed, value);
        if (value > 10)
        {
            SetParamValue<int32_t>(*param, 10, false);
        }
    };
    param->SetGuard(&guard);
    param->AddObserver(&clamp, false);
    param->AddObserver(&watcher, false);

    SetParamValue<int32_t>(*param, 50, false);
    EXPECT_EQ(TextOf(*param), "10");
    // The guard (a device's property mirror) saw the final value too.
    EXPECT_EQ(guard.m_SeenValues, (std::vector<std::string>{"50", "10"}));
    EXPECT_EQ(watcher.m_Events.back(), "value 10");
}

TEST(ParamAttributes, FlagsNotifyWithTheirMask)
{
    auto param = MakeInt(0);
    RecordingObserver observer;
    param->AddObserver(&observer, false);

    EXPECT_TRUE(param->SetFlagA(false)) << "unchanged flag";
    EXPECT_TRUE(param->SetPersistent(true));
    EXPECT_TRUE(param->IsPersistent());
    EXPECT_EQ(observer.m_Events.size(), 1u) << "neither notifies";

    param->SetReadOnly(true);
    param->SetFlagA(true);
    param->SetFlagB(true);
    param->SetFlagC(true);
    param->SetOptionRange(true);
    EXPECT_TRUE(param->NotifyAllAttributes());
    EXPECT_EQ(observer.m_Events,
              (std::vector<std::string>{"attached", "attributes 1", "attributes 2", "attributes 4",
                                        "attributes 8", "attributes 32", "attributes 63"}));
    EXPECT_TRUE(param->IsReadOnly() && param->IsFlagA() && param->IsFlagB() && param->IsFlagC());

    // Own options report their own bit, including a value set inside the bracket.
    param->BeginAttributeChange();
    IParam* option = param->AddOwnOption("Max");
    ASSERT_NE(option, nullptr);
    SetParamValue<int32_t>(*option, 100, false);
    param->EndAttributeChange(0);
    EXPECT_EQ(observer.m_Events.back(), "attributes 16");
}

TEST(ParamOptions, LabelsValuesAndSelection)
{
    VParam mode(VParamInt32(3));
    EXPECT_EQ(mode.AddOwnOption("")->GetValue()->Equals(VParamInt32(3)), true);
    ASSERT_NE(mode.AddOwnOption(""), nullptr) << "empty labels may repeat";
    ASSERT_TRUE(mode.ClearOwnOptions());
    for (auto [label, value] : {std::pair{"Free-running", 3}, {"Master", 2}, {"Slave", 0}})
    {
        IParam* option = mode.AddOwnOption(label);
        ASSERT_NE(option, nullptr);
        SetParamValue<int32_t>(*option, value, false);
    }
    EXPECT_EQ(mode.AddOwnOption("Master"), nullptr) << "second \"Master\" refused";
    unsigned count = 0;
    mode.GetOptionCount(count);
    EXPECT_EQ(count, 3u);

    // Not valid yet: nothing is selected and the range check fails.
    EXPECT_FALSE(mode.FindSelectedOption(nullptr, nullptr, nullptr));
    EXPECT_FALSE(mode.IsInRange());

    EXPECT_TRUE(mode.SelectOption("Master", true));
    EXPECT_EQ(TextOf(mode), "2");
    unsigned index = 99;
    VStringStd label;
    const IParam* selected = nullptr;
    ASSERT_TRUE(mode.FindSelectedOption(&index, &selected, &label));
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(label.Str(), "Master");
    EXPECT_EQ(selected, mode.FindOption("Master"));
    EXPECT_TRUE(mode.IsInRange());

    EXPECT_TRUE(mode.SelectOption(2u, true));
    EXPECT_EQ(TextOf(mode), "0");
    EXPECT_FALSE(mode.SelectOption("master", true)) << "labels are exact";
    EXPECT_FALSE(mode.SelectOption(3u, true));
    EXPECT_EQ(TextOf(mode), "0");

    // Outside the list of options.
    SetParamValue<int32_t>(mode, 1, false);
    EXPECT_FALSE(mode.IsInRange());
    EXPECT_FALSE(mode.FindSelectedOption(nullptr, nullptr, nullptr));

    const IParam* value = nullptr;
    ASSERT_TRUE(mode.GetOptionValue(0, label, value));
    EXPECT_EQ(label.Str(), "Free-running");
    EXPECT_EQ(TextOf(*value), "3");
    EXPECT_FALSE(mode.GetOptionValue(3, label, value));
}

TEST(ParamOptions, RangeCheckUsesMinAndMax)
{
    VParam rate(VParamDouble(0.0));
    EXPECT_FALSE(rate.IsInRange()) << "invalid";
    SetParamValue<double>(rate, 5.0, false);
    EXPECT_TRUE(rate.IsInRange()) << "no options";

    rate.SetOptionRange(true);
    SetParamValue<double>(*rate.AddOwnOption("Min"), 1.0, false);
    EXPECT_TRUE(rate.IsOptionRange());
    EXPECT_TRUE(rate.IsInRange()) << "only a lower bound";
    SetParamValue<double>(*rate.AddOwnOption("Max"), 10.0, false);
    for (auto [value, inside] :
         {std::pair{0.999, false}, {1.0, true}, {10.0, true}, {10.001, false}, {5.5, true}})
    {
        SetParamValue<double>(rate, value, false);
        EXPECT_EQ(rate.IsInRange(), inside) << value;
    }

    // Options without "Min" and "Max" labels set no bound.
    VParam loose(VParamDouble(0.0));
    loose.SetOptionRange(true);
    SetParamValue<double>(*loose.AddOwnOption(""), 0.0, false);
    SetParamValue<double>(*loose.AddOwnOption(""), 10000.0, false);
    SetParamValue<double>(loose, 20000.0, false);
    EXPECT_TRUE(loose.IsInRange());
}

TEST(ParamOptions, DefinitionOptionsApplyUntilTheParameterHasItsOwn)
{
    VParamDefinition definition("Gain", "Gain", "Amplifier gain.", "Analogue", VParamInt32(),
                                ISemanticTypeNull(), 0);
    SetDefaultValue<int32_t>(definition, 1);
    definition.SetOptionRange(true);
    AddOptionValue<int32_t>(definition, "Min", 1);
    AddOptionValue<int32_t>(definition, "Max", 8);

    VParam gain(definition.GetPrototypeParam());
    EXPECT_TRUE(gain.IsDefault());
    EXPECT_TRUE(gain.HasValidDefault());
    EXPECT_FALSE(gain.HasOwnOptions());
    EXPECT_TRUE(gain.IsOptionRange());
    SetParamValue<int32_t>(gain, 9, false);
    EXPECT_FALSE(gain.IsInRange());
    EXPECT_FALSE(gain.IsDefault());

    SetParamValue<int32_t>(*gain.AddOwnOption("Max"), 16, false);
    EXPECT_FALSE(gain.IsOptionRange()) << "own options bring their own mode";
    gain.SetOptionRange(true);
    EXPECT_TRUE(gain.IsInRange());
    ASSERT_TRUE(gain.ClearOwnOptions());
    EXPECT_FALSE(gain.IsInRange()) << "the definition's options apply again";
}

TEST(ParamCopy, CopyFromTakesValueAndAttributesAsOneChange)
{
    auto source = MakeInt(12);
    source->SetReadOnly(true);
    source->SetPersistent(true);
    SetParamValue<int32_t>(*source->AddOwnOption("Max"), 20, false);

    VParam target(VParamInt32(0));
    RecordingObserver observer;
    target.AddObserver(&observer, false);
    EXPECT_FALSE(target.Equals(*source, true));
    ASSERT_TRUE(target.CopyFrom(*source));
    EXPECT_TRUE(target.Equals(*source, false));
    EXPECT_TRUE(target.EqualsValue(*source));
    EXPECT_TRUE(target.IsReadOnly());
    EXPECT_TRUE(target.IsPersistent());
    EXPECT_EQ(observer.m_Events,
              (std::vector<std::string>{"attached", "value 12", "attributes 17"}));

    // Copying what it already holds is no change at all.
    EXPECT_TRUE(target.CopyFrom(*source));
    EXPECT_EQ(observer.m_Events.size(), 3u);

    // The copy's options are its own.
    SetParamValue<int32_t>(*source->AddOwnOption("Min"), 1, false);
    unsigned count = 0;
    target.GetOptionCount(count);
    EXPECT_EQ(count, 1u);
    EXPECT_FALSE(target.CopyFrom(VParam(VParamDouble(1.0)))) << "other value type";
}

TEST(ParamExpressions, BindResolveAndTheNullSemanticType)
{
    VParam plain(VParamInt32(0));
    EXPECT_FALSE(plain.BindExpression("=5", false)) << "the null type builds nothing";
    EXPECT_FALSE(plain.ResolveExpression(false));
    EXPECT_FALSE(plain.CanConvertFrom(plain));
    VStringStd text;
    EXPECT_FALSE(plain.GetExpressionText(text));
    EXPECT_FALSE(plain.GetDisplayText(text));

    VParamDefinition definition("Computed", "Computed", "", "", VParamInt32(),
                                ConstantSemanticType(), 0);
    VParam computed(definition.GetPrototypeParam());
    RecordingObserver observer;
    TestGuard guard;
    computed.AddObserver(&observer, false);
    computed.SetGuard(&guard);

    EXPECT_FALSE(computed.BindExpression("5", false));
    ASSERT_TRUE(computed.BindExpression("=5", false));
    EXPECT_TRUE(computed.IsBoundTo("=5"));
    ASSERT_TRUE(computed.GetExpressionText(text));
    EXPECT_EQ(text.Str(), "=5");
    EXPECT_TRUE(computed.IsValid());
    EXPECT_EQ(TextOf(computed), "5");
    EXPECT_EQ(guard.m_ValueRequests, 1);

    ASSERT_TRUE(computed.ResolveExpression(false));
    EXPECT_FALSE(computed.IsBoundTo("=5"));
    EXPECT_EQ(TextOf(computed), "5");
    EXPECT_EQ(guard.m_ValueRequests, 2);

    guard.m_AllowValue = false;
    EXPECT_FALSE(computed.BindExpression("=6", false));
    EXPECT_FALSE(computed.IsBoundTo("=6"));
    EXPECT_EQ(TextOf(computed), "5");
}

TEST(ParamLifetime, ObserversAndParametersMayGoInEitherOrder)
{
    // Parameter first: the observer is told and forgets it.
    auto param = MakeInt(1);
    VObserverHelper helper;
    param->AddObserver(&helper, false);
    ASSERT_EQ(helper.GetObservedParams().size(), 1u);
    param.reset();
    EXPECT_TRUE(helper.GetObservedParams().empty());

    // Observer first: it detaches itself, so the parameter never calls it again.
    auto first = MakeInt(1);
    auto second = MakeInt(2);
    {
        VObserverHelper shortLived;
        first->AddObserver(&shortLived, true);
        second->AddObserver(&shortLived, false);
        EXPECT_EQ(shortLived.GetObservedParams().size(), 2u);
    }
    EXPECT_TRUE(SetParamValue<int32_t>(*first, 5, false));
    EXPECT_TRUE(SetParamValue<int32_t>(*second, 5, false));
}

TEST(ParamEditing, EditModeAndReadOnly)
{
    VParamDefinition definition("K", "K", "", "", VParamBool(), ISemanticTypeNull(), 0);
    VParam always(definition.GetPrototypeParam());
    always.SetReadOnly(true);
    EXPECT_TRUE(always.IsEditable()) << "mode 0";

    definition.SetEditMode(1);
    EXPECT_FALSE(always.IsEditable());
    always.SetReadOnly(false);
    EXPECT_TRUE(always.IsEditable());
    definition.SetEditMode(2);
    EXPECT_FALSE(always.IsEditable());
    EXPECT_STREQ(always.GetKey(), "K");
    EXPECT_STREQ(VParam(VParamBool()).GetKey(), "");
}
