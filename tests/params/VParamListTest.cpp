#include "params/ParamAccess.h"
#include "params/VParamDefinitionList.h"
#include "params/VParamListHandler.h"
#include "params/VPropertySet.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

using ParamListPtr = TDestroyPtr<IParamList>;

std::string TextOf(const IParam& param)
{
    VStringStd text;
    return param.ToString(text) ? text.Str() : "<invalid>";
}

// Four definitions as a device class would add them.
void AddFourDefinitions(VParamDefinitionList& definitions)
{
    AddTypedDefinition<bool>(definitions, "Connected", "Connected",
                             "Defines whether this device is connected to the network.",
                             "Connection", false);
    IParamDefinition* address = AddTypedDefinition<std::string>(
        definitions, "LocalIP", "Local IP address", "Local IP address.", "Connection");
    address->SetFlagA(true);
    address->SetReadOnly(true);
    IParamDefinition* rate =
        AddTypedDefinition<double>(definitions, "SystemFrameRate", "Frame Rate",
                                   "The frame rate of the system, in Hz.", "System", 1.0);
    rate->SetOptionRange(true);
    AddOptionValue<double>(*rate, "", 0.0);
    AddOptionValue<double>(*rate, "", 10000.0);
    IParamDefinition* mode = AddTypedDefinition<int32_t>(definitions, "SyncMode", "Sync Mode",
                                                         "Sync mode of this device.", "Device", 3);
    AddOptionValue<int32_t>(*mode, "Free-running", 3);
    AddOptionValue<int32_t>(*mode, "Master", 2);
    AddOptionValue<int32_t>(*mode, "Slave", 0);
    AddOptionValue<int32_t>(*mode, "Surrogate master", 1);
}

// What a device does with its parameters: mirror every value into a property set
// from the list guard, and refuse what it must.
class MirroringOwner
{
public:
    explicit MirroringOwner(IParamList& list) : m_List(list), m_Handler(*this)
    {
        m_Handler.SetAllowValueChange(&MirroringOwner::Mirror)
            .SetOnInstalled(&MirroringOwner::Installed)
            .SetOnRemoved(&MirroringOwner::Removed);
    }

    bool Install() { return m_List.SetGuard(&m_Handler) && m_List.RevalidateAll(); }

    bool Mirror(IParamList& list, IParam& param)
    {
        EXPECT_EQ(&list, &m_List);
        if (m_Refused == param.GetKey())
        {
            return false;
        }
        VStringStd text;
        param.ToString(text);
        m_Properties.Set(param.GetKey(), text.CStr());
        ++m_Mirrored;
        return true;
    }
    void Installed(IParamList&) { ++m_Installs; }
    void Removed(IParamList&) { ++m_Removals; }

    IParamList& m_List;
    VParamListHandler<MirroringOwner>::Handler m_Handler;
    VPropertySet m_Properties;
    std::string m_Refused;
    int m_Mirrored = 0;
    int m_Installs = 0;
    int m_Removals = 0;
};

class CountingListObserver : public IParamListObserver
{
public:
    void OnAttached(const IParamList&) override { m_Events.push_back("attached"); }
    void OnDetached(const IParamList&) override { m_Events.push_back("detached"); }
    void OnParamValueChanged(const IParamList&, const IParam& param) override
    {
        m_Events.push_back(std::string("value ") + param.GetKey() + "=" + TextOf(param));
    }
    void OnParamAttributesChanged(const IParamList&, const IParam& param, unsigned mask) override
    {
        m_Events.push_back(std::string("attributes ") + param.GetKey() + " " +
                           std::to_string(mask));
    }
    std::vector<std::string> m_Events;
};

class CountingDefinitionObserver : public IParamDefinitionListObserver
{
public:
    void OnParamListCreated(const IParamDefinitionList&, IParamList&) override { ++m_Created; }
    void OnParamListDestroyed(const IParamDefinitionList&, IParamList&) override { ++m_Destroyed; }
    int m_Created = 0;
    int m_Destroyed = 0;
};

class CountedObject : public IDestroyable
{
public:
    explicit CountedObject(int& destroyed) : m_Destroyed(destroyed) {}
    void Destroy() override
    {
        ++m_Destroyed;
        delete this;
    }

private:
    int& m_Destroyed;
};

} // namespace

TEST(ParamDefinitions, DuplicateKeysAndLateDefinitionsAreRefused)
{
    VParamDefinitionList definitions("Camera", "Camera parameters", "Description", "General");
    ASSERT_NE(definitions.AddDefinition("Port", "Base port", "", "Connection", VParamInt32()),
              nullptr);
    EXPECT_EQ(definitions.AddDefinition("Port", "Other", "", "", VParamDouble()), nullptr);
    EXPECT_EQ(definitions.AddDefinition("", "Empty", "", "", VParamInt32()), nullptr);
    EXPECT_EQ(definitions.AddDefinition(nullptr, "Null", "", "", VParamInt32()), nullptr);
    EXPECT_EQ(definitions.GetDefinitionCount(), 1u);
    EXPECT_STREQ(definitions.FindDefinition("Port")->GetDisplayName(), "Base port");
    EXPECT_EQ(definitions.FindDefinition("port"), nullptr);

    ParamListPtr list(definitions.CreateParamList());
    EXPECT_EQ(definitions.AddDefinition("Late", "Late", "", "", VParamInt32()), nullptr);
    list.reset();
    EXPECT_EQ(definitions.AddDefinition("Late", "Late", "", "", VParamInt32()), nullptr)
        << "lists created earlier fix the definitions for good";
    EXPECT_EQ(definitions.GetDefinitionCount(), 1u);
    EXPECT_STREQ(definitions.GetDefinitionKey(0), "Port");
    EXPECT_EQ(definitions.GetDefinitionKey(1), nullptr);

    VStringStd name;
    definitions.GetQualifiedName(name);
    EXPECT_EQ(name.Str(), "Camera General");
}

TEST(ParamDefinitions, OptionLabels)
{
    VParamDefinitionList definitions("Control", "Control parameters", "Description", "General");
    IParamDefinition* rate = AddTypedDefinition<double>(definitions, "Rate", "Rate", "", "", 1.0);
    EXPECT_NE(rate->AddUnlabelledOption(), nullptr);
    EXPECT_NE(rate->AddOption(""), nullptr) << "empty labels may repeat";
    IParamDefinition* mode =
        AddTypedDefinition<int32_t>(definitions, "SyncMode", "Sync Mode", "", "", 3);
    EXPECT_NE(AddOptionValue<int32_t>(*mode, "Master", 2), nullptr);
    EXPECT_EQ(AddOptionValue<int32_t>(*mode, "Master", 5), nullptr) << "second \"Master\"";
    EXPECT_EQ(AddOptionValue<double>(*mode, "Half", 0.5), nullptr) << "wrong value type";
    EXPECT_NE(mode->AddOption("master"), nullptr) << "labels are case-sensitive";

    ParamListPtr list(definitions.CreateParamList());
    unsigned count = 0;
    list->GetParam("Rate")->GetOptionCount(count);
    EXPECT_EQ(count, 2u);
    list->GetParam("SyncMode")->GetOptionCount(count);
    EXPECT_EQ(count, 2u);
}

TEST(ParamList, StartsFromTheDefinitionsInOrder)
{
    VParamDefinitionList definitions("Camera", "Camera parameters", "Description", "General");
    AddFourDefinitions(definitions);
    ParamListPtr list(definitions.CreateParamList());

    ASSERT_EQ(list->GetParamCount(), 4u);
    const std::vector<std::string> keys{"Connected", "LocalIP", "SystemFrameRate", "SyncMode"};
    for (unsigned i = 0; i < 4; ++i)
    {
        EXPECT_EQ(list->GetKeyAt(i), keys[i]);
        EXPECT_EQ(list->GetParamAt(i), list->GetParam(keys[i].c_str()));
    }
    EXPECT_EQ(list->GetKeyAt(4), nullptr);
    EXPECT_EQ(list->GetParamAt(4), nullptr);

    EXPECT_EQ(TextOf(*list->GetParam("Connected")), "0");
    EXPECT_EQ(TextOf(*list->GetParam("LocalIP")), "<invalid>") << "no default";
    EXPECT_EQ(TextOf(*list->GetParam("SystemFrameRate")), "1");
    EXPECT_EQ(TextOf(*list->GetParam("SyncMode")), "3");
    EXPECT_TRUE(list->GetParam("SyncMode")->IsDefault());

    // Flags and texts come from the definitions.
    const IParam& address = *list->GetParam("LocalIP");
    EXPECT_TRUE(address.IsReadOnly());
    EXPECT_TRUE(address.IsFlagA());
    EXPECT_STREQ(address.GetDisplayName(), "Local IP address");
    EXPECT_STREQ(address.GetGroup(), "Connection");
    EXPECT_FALSE(list->GetParam("Connected")->IsReadOnly());
    EXPECT_TRUE(list->GetParam("SystemFrameRate")->IsOptionRange());
    EXPECT_TRUE(list->GetParam("SyncMode")->HasSameDefinition(*list->GetParam("SyncMode")));
    EXPECT_FALSE(list->GetParam("SyncMode")->HasSameDefinition(*list->GetParam("Connected")));

    // Keys are exact.
    EXPECT_EQ(list->GetParam("connected"), nullptr);
    EXPECT_EQ(list->GetParam("SyncMode "), nullptr);
    EXPECT_EQ(list->GetParam(nullptr), nullptr);

    // Each list has parameters of its own.
    ParamListPtr second(definitions.CreateParamList());
    ASSERT_TRUE(SetParamValue(*list, "SyncMode", 2, true));
    EXPECT_EQ(TextOf(*second->GetParam("SyncMode")), "3");
    EXPECT_EQ(list->GetParam("SyncMode")->GetHandler()->GetParamList(), list.get());
}

TEST(ParamList, TypedAccessByKey)
{
    VParamDefinitionList definitions("Camera", "Camera parameters", "Description", "General");
    AddFourDefinitions(definitions);
    AddTypedDefinition<uint32_t>(definitions, "Frame", "Frame", "", "", 0u);
    ParamListPtr list(definitions.CreateParamList());

    EXPECT_TRUE(SetParamValue(*list, "LocalIP", "10.0.0.2", false));
    EXPECT_FALSE(SetParamValue(*list, "LocalIP", "10.0.0.3", true)) << "read-only";
    EXPECT_TRUE(SetParamValue<std::string>(*list, "LocalIP", std::string("10.0.0.4"), false));
    std::string address;
    EXPECT_TRUE(GetValidParamValue(*list, "LocalIP", address));
    EXPECT_EQ(address, "10.0.0.4");
    VStringStd asStd;
    EXPECT_TRUE(GetParamValue(*list, "LocalIP", asStd));
    EXPECT_EQ(asStd.Str(), "10.0.0.4");

    EXPECT_TRUE(SetParamValue(*list, "SystemFrameRate", 100.5, true));
    EXPECT_EQ(GetParamValueOr(*list, "SystemFrameRate", 0.0), 100.5);
    EXPECT_FALSE(SetParamValue(*list, "SystemFrameRate", 100, true)) << "int is not a real";
    EXPECT_TRUE(SetParamValue<uint32_t>(*list, "Frame", 4000000000u, true));
    EXPECT_EQ(GetParamValueOr<uint32_t>(*list, "Frame", 0u), 4000000000u);
    EXPECT_TRUE(SetParamValue(*list, "Connected", true, true));
    EXPECT_TRUE(GetParamValueOr(*list, "Connected", false));

    // Unknown keys do nothing.
    EXPECT_FALSE(SetParamValue(*list, "Nope", 1, false));
    int32_t unused = 7;
    EXPECT_FALSE(GetParamValue(*list, "Nope", unused));
    EXPECT_EQ(unused, 7);
    EXPECT_EQ(GetParamValueOr(*list, "Nope", 42), 42);
}

TEST(ParamList, GuardMirrorsEveryParameterBeforeObserversRun)
{
    VParamDefinitionList definitions("Camera", "Camera parameters", "Description", "General");
    AddFourDefinitions(definitions);
    ParamListPtr list(definitions.CreateParamList());
    MirroringOwner owner(*list);

    // Installing and revalidating fills the mirror, changed or not.
    ASSERT_TRUE(owner.Install());
    EXPECT_EQ(owner.m_Installs, 1);
    EXPECT_EQ(owner.m_Mirrored, 4);
    EXPECT_EQ(owner.m_Properties.GetCount(), 4u);
    double rate = 0.0;
    EXPECT_TRUE(owner.m_Properties.GetAs("SystemFrameRate", rate));
    EXPECT_EQ(rate, 1.0);

    // An observer already reads the new value from the mirror.
    struct MirrorReader : public IParamObserver
    {
        void OnValueChanged(const IParam&) override { m_Properties->GetAs("SyncMode", m_Seen); }
        const VPropertySet* m_Properties = nullptr;
        int32_t m_Seen = -1;
    } reader;
    reader.m_Properties = &owner.m_Properties;
    list->GetParam("SyncMode")->AddObserver(&reader, false);
    ASSERT_TRUE(SetParamValue(*list, "SyncMode", 2, true));
    EXPECT_EQ(reader.m_Seen, 2);

    // The owner's refusal restores the value and the mirror keeps the old text.
    owner.m_Refused = "SyncMode";
    EXPECT_FALSE(SetParamValue(*list, "SyncMode", 0, false));
    EXPECT_EQ(TextOf(*list->GetParam("SyncMode")), "2");
    std::string mirrored;
    EXPECT_TRUE(owner.m_Properties.Get("SyncMode", mirrored));
    EXPECT_EQ(mirrored, "2");
    EXPECT_FALSE(list->RevalidateAll()) << "one parameter refused";
    owner.m_Refused.clear();
    list->GetParam("SyncMode")->RemoveObserver(&reader);

    // Only the installed guard is removed, and then nothing is mirrored any more.
    VParamListHandler<MirroringOwner>::Handler stranger(owner);
    EXPECT_FALSE(list->SetGuard(&stranger)) << "one guard at a time";
    EXPECT_FALSE(list->ClearGuard(&stranger));
    EXPECT_TRUE(list->ClearGuard(&owner.m_Handler));
    EXPECT_EQ(owner.m_Removals, 1);
    const int mirroredBefore = owner.m_Mirrored;
    EXPECT_TRUE(SetParamValue(*list, "SyncMode", 0, false));
    EXPECT_EQ(owner.m_Mirrored, mirroredBefore);

    // Destroying a list with a guard removes the guard first.
    ASSERT_TRUE(owner.Install());
    list.reset();
    EXPECT_EQ(owner.m_Removals, 2);
}

TEST(ParamList, GuardInstallationIsAllOrNothing)
{
    VParamDefinitionList definitions("Camera", "Camera parameters", "Description", "General");
    AddFourDefinitions(definitions);
    ParamListPtr list(definitions.CreateParamList());

    // A parameter with a guard of its own makes the whole installation fail.
    struct PrivateGuard : public IParamGuard
    {
        bool AllowValueChange(IParam&) override { return true; }
        bool AllowAttributeChange(IParam&, unsigned) override { return true; }
    } privateGuard;
    ASSERT_TRUE(list->GetParam("SystemFrameRate")->SetGuard(&privateGuard));
    MirroringOwner owner(*list);
    EXPECT_FALSE(list->SetGuard(&owner.m_Handler));
    EXPECT_EQ(list->GetGuard(), nullptr);
    EXPECT_EQ(owner.m_Installs, 0);
    EXPECT_TRUE(SetParamValue(*list, "Connected", true, true));
    EXPECT_EQ(owner.m_Mirrored, 0) << "no parameter kept the list guard";

    // A handler may decline to be installed.
    struct Declining : public IParamListHandler
    {
        bool AllowInstall(IParamList&) override { return false; }
    } declining;
    ASSERT_TRUE(list->GetParam("SystemFrameRate")->ClearGuard(&privateGuard));
    EXPECT_FALSE(list->SetGuard(&declining));
    EXPECT_FALSE(list->SetGuard(nullptr));
    EXPECT_TRUE(owner.Install());
    // The list outlives the owner here: the guard leaves before the owner does.
    EXPECT_TRUE(list->ClearGuard(&owner.m_Handler));
}

TEST(ParamList, ListObserversHearEveryParameter)
{
    VParamDefinitionList definitions("Camera", "Camera parameters", "Description", "General");
    AddFourDefinitions(definitions);
    ParamListPtr list(definitions.CreateParamList());
    CountingListObserver observer;
    ASSERT_TRUE(list->AddListObserver(&observer));
    EXPECT_FALSE(list->AddListObserver(&observer));
    EXPECT_FALSE(list->IsModified());

    SetParamValue(*list, "SyncMode", 1, false);
    list->GetParam("Connected")->SetReadOnly(true);
    EXPECT_TRUE(list->IsModified());
    EXPECT_EQ(observer.m_Events,
              (std::vector<std::string>{"attached", "value SyncMode=1", "attributes Connected 1"}));

    // The modified flag can be saved around a stretch of changes.
    list->PushModified();
    EXPECT_FALSE(list->IsModified());
    EXPECT_TRUE(list->NotifyAllAttributes());
    EXPECT_FALSE(list->IsModified()) << "attributes do not modify values";
    EXPECT_TRUE(list->PopModified());
    EXPECT_TRUE(list->IsModified());
    EXPECT_FALSE(list->PopModified());
    EXPECT_EQ(observer.m_Events.size(), 3u + 4u);

    EXPECT_TRUE(list->RemoveListObserver(&observer));
    EXPECT_FALSE(list->RemoveListObserver(&observer));
    SetParamValue(*list, "SyncMode", 2, false);
    EXPECT_EQ(observer.m_Events.back(), "detached");
}

TEST(ParamList, ObserverOnEveryParameter)
{
    VParamDefinitionList definitions("Camera", "Camera parameters", "Description", "General");
    AddFourDefinitions(definitions);
    ParamListPtr list(definitions.CreateParamList());

    struct Counter : public VObserverHelper
    {
        void OnValueChanged(const IParam&) override { ++m_Values; }
        void OnAttributesChanged(const IParam&, unsigned mask) override
        {
            m_Attributes += mask == ParamAttributes::All ? 1 : 0;
        }
        int m_Values = 0;
        int m_Attributes = 0;
    } counter;
    EXPECT_TRUE(list->AddObserverToAll(&counter, true));
    EXPECT_EQ(counter.m_Values, 4);
    EXPECT_EQ(counter.m_Attributes, 4);
    EXPECT_FALSE(list->AddObserverToAll(&counter, true)) << "already attached";
    EXPECT_EQ(counter.m_Values, 4);
    EXPECT_EQ(counter.GetObservedParams().size(), 4u);
    EXPECT_TRUE(list->RemoveObserverFromAll(&counter));
    EXPECT_TRUE(counter.GetObservedParams().empty());
}

TEST(ParamList, DestructionReleasesWhatTheListOwns)
{
    auto definitions = std::make_unique<VParamDefinitionList>("Control", "Control parameters",
                                                              "Description", "General");
    AddFourDefinitions(*definitions);
    CountingDefinitionObserver lists;
    definitions->AddObserver(&lists, false);

    ParamListPtr first(definitions->CreateParamList());
    ParamListPtr second(definitions->CreateParamList());
    EXPECT_EQ(lists.m_Created, 2);
    EXPECT_EQ(definitions->GetLiveListCount(), 2u);
    EXPECT_EQ(first->GetDefinitionList(), definitions.get());

    // A late observer can be told about the lists that exist.
    CountingDefinitionObserver late;
    definitions->AddObserver(&late, true);
    EXPECT_EQ(late.m_Created, 2);

    int destroyed = 0;
    first->SetAttachedObject(new CountedObject(destroyed), true);
    first->SetAttachedObject(new CountedObject(destroyed), true);
    EXPECT_EQ(destroyed, 1) << "an owned object is released when replaced";
    CountedObject* borrowed = new CountedObject(destroyed);
    second->SetAttachedObject(borrowed, false);

    VObserverHelper watcher;
    first->GetParam("SyncMode")->AddObserver(&watcher, false);
    CountingListObserver listObserver;
    first->AddListObserver(&listObserver);

    first.reset();
    EXPECT_EQ(destroyed, 2);
    EXPECT_TRUE(watcher.GetObservedParams().empty()) << "parameters detached their observers";
    EXPECT_EQ(listObserver.m_Events.back(), "detached");
    EXPECT_EQ(lists.m_Destroyed, 1);
    EXPECT_EQ(definitions->GetLiveListCount(), 1u);

    second.reset();
    EXPECT_EQ(destroyed, 2) << "a borrowed object stays with its owner";
    borrowed->Destroy();
    EXPECT_EQ(definitions->GetLiveListCount(), 0u);
    definitions->RemoveObserver(&late);
    definitions.reset(); // while `lists`, which it detaches, still lives
}
