// The definition list of a parameterised class and the factory of its parameter lists.
#pragma once

#include "params/IParamDefinitionList.h"
#include "params/VObservedHelper.h"
#include "params/VParamDefinition.h"
#include "params/VParamList.h"

#include <cstdint>
#include <memory>
#include <vector>

/// The ordered definitions of one parameterised class (a device class, say), owned
/// here, and the parameter lists created from them and not yet destroyed (not owned).
/// Created once per class at start-up and filled at once; definitions can be added
/// only until the first parameter list is created. It must outlive every parameter
/// list created from it. Main thread only; not copyable.
class VParamDefinitionList final
    : public VObservedHelper<IParamDefinitionList, IParamDefinitionListObserver>
{
public:
    /// The four texts (null counts as empty) and two integers are kept as given; the
    /// first integer is handed to every definition.
    VParamDefinitionList(const char* name, const char* description, const char* text3,
                         const char* text4, int32_t value1 = 0, int32_t value2 = 0);
    VParamDefinitionList(const VParamDefinitionList&) = delete;
    VParamDefinitionList& operator=(const VParamDefinitionList&) = delete;
    ~VParamDefinitionList() override;

    VParamDefinition* AddDefinition(const char* key, const char* displayName,
                                    const char* description, const char* group,
                                    const IParamObject& prototypeValue) override;
    VParamDefinition* AddDefinitionWithType(const char* key, const char* displayName,
                                            const char* description, const char* group,
                                            const IParamObject& prototypeValue,
                                            const ISemanticType& semanticType) override;
    unsigned GetDefinitionCount() const override;
    const char* GetDefinitionKey(unsigned index) const override;
    const VParamDefinition* FindDefinition(const char* key) const override;
    VParamList* CreateParamList() override;
    void GetQualifiedName(IString& out) const override;
    void OnObserverAdded(IParamDefinitionListObserver* observer, bool deliverNow) override;

    /// The definition at `index`, or null.
    const VParamDefinition* GetDefinitionAt(unsigned index) const;
    const char* GetName() const { return m_Name.CStr(); }
    const char* GetDescription() const { return m_Description.CStr(); }
    const char* GetText3() const { return m_Text3.CStr(); }
    const char* GetText4() const { return m_Text4.CStr(); }
    int32_t GetValue1() const { return m_Value1; }
    int32_t GetValue2() const { return m_Value2; }
    /// The parameter lists created from this list and not yet destroyed.
    unsigned GetLiveListCount() const { return static_cast<unsigned>(m_LiveLists.size()); }

private:
    friend class VParamList;
    void RegisterList(VParamList& list);
    void UnregisterList(VParamList& list);

    VStringStd m_Name;
    VStringStd m_Description;
    VStringStd m_Text3;
    VStringStd m_Text4;
    std::vector<VParamList*> m_LiveLists;
    std::vector<std::unique_ptr<VParamDefinition>> m_Definitions;
    int32_t m_Value1 = 0;
    int32_t m_Value2 = 0;
    bool m_ListCreated = false;
};
