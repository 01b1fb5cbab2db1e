#include "params/VParamDefinitionList.h"

#include <algorithm>
#include <cstring>

VParamDefinitionList::VParamDefinitionList(const char* name, const char* description,
                                           const char* text3, const char* text4, int32_t value1,
                                           int32_t value2)
    : m_Name(name), m_Description(description), m_Text3(text3), m_Text4(text4), m_Value1(value1),
      m_Value2(value2)
{
}

VParamDefinitionList::~VParamDefinitionList()
{
    DetachAllObservers();
    // Lists still alive break the ownership rule; at least their own destruction
    // must not reach back into this object.
    for (VParamList* list : m_LiveLists)
    {
        list->ForgetDefinitionList();
    }
}

VParamDefinition* VParamDefinitionList::AddDefinition(const char* key, const char* displayName,
                                                      const char* description, const char* group,
                                                      const IParamObject& prototypeValue)
{
    return AddDefinitionWithType(key, displayName, description, group, prototypeValue,
                                 ISemanticTypeNull());
}

VParamDefinition* VParamDefinitionList::AddDefinitionWithType(
    const char* key, const char* displayName, const char* description, const char* group,
    const IParamObject& prototypeValue, const ISemanticType& semanticType)
{
    if (m_ListCreated || key == nullptr || key[0] == '\0' || FindDefinition(key) != nullptr)
    {
        return nullptr;
    }
    m_Definitions.push_back(std::make_unique<VParamDefinition>(
        key, displayName, description, group, prototypeValue, semanticType, m_Value1));
    return m_Definitions.back().get();
}

unsigned VParamDefinitionList::GetDefinitionCount() const
{
    return static_cast<unsigned>(m_Definitions.size());
}

const char* VParamDefinitionList::GetDefinitionKey(unsigned index) const
{
    return index < m_Definitions.size() ? m_Definitions[index]->GetKey() : nullptr;
}

const VParamDefinition* VParamDefinitionList::FindDefinition(const char* key) const
{
    if (key == nullptr)
    {
        return nullptr;
    }
    for (const std::unique_ptr<VParamDefinition>& definition : m_Definitions)
    {
        if (std::strcmp(definition->GetKey(), key) == 0)
        {
            return definition.get();
        }
    }
    return nullptr;
}

VParamList* VParamDefinitionList::CreateParamList()
{
    return new VParamList(*this);
}

void VParamDefinitionList::GetQualifiedName(IString& out) const
{
    out.Assign((m_Name.Str() + " " + m_Text4.Str()).c_str());
}

void VParamDefinitionList::OnObserverAdded(IParamDefinitionListObserver* observer, bool deliverNow)
{
    if (!deliverNow)
    {
        return;
    }
    const std::vector<VParamList*> lists = m_LiveLists;
    for (VParamList* list : lists)
    {
        if (!IsObserver(observer))
        {
            return;
        }
        observer->OnParamListCreated(*this, *list);
    }
}

const VParamDefinition* VParamDefinitionList::GetDefinitionAt(unsigned index) const
{
    return index < m_Definitions.size() ? m_Definitions[index].get() : nullptr;
}

void VParamDefinitionList::RegisterList(VParamList& list)
{
    m_ListCreated = true;
    m_LiveLists.push_back(&list);
    NotifyObservers([this, &list](IParamDefinitionListObserver& observer)
                    { observer.OnParamListCreated(*this, list); });
}

void VParamDefinitionList::UnregisterList(VParamList& list)
{
    auto found = std::find(m_LiveLists.begin(), m_LiveLists.end(), &list);
    if (found == m_LiveLists.end())
    {
        return;
    }
    m_LiveLists.erase(found);
    NotifyObservers([this, &list](IParamDefinitionListObserver& observer)
                    { observer.OnParamListDestroyed(*this, list); });
}
