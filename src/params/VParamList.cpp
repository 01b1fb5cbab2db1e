#include "params/VParamList.h"

#include "params/VParamDefinition.h"
#include "params/VParamDefinitionList.h"

#include <algorithm>
#include <string_view>

VParamList::VParamList(VParamDefinitionList& definitions)
    : m_Face(*this), m_DefinitionList(&definitions)
{
    const unsigned count = definitions.GetDefinitionCount();
    m_Params.reserve(count);
    for (unsigned i = 0; i < count; ++i)
    {
        const VParamDefinition& definition = *definitions.GetDefinitionAt(i);
        auto param = std::make_unique<VParam>(definition.GetPrototypeParam());
        param->SetReadOnly(definition.IsReadOnly());
        param->SetFlagC(definition.IsFlagC());
        param->SetFlagB(definition.IsFlagB());
        param->SetFlagA(definition.IsFlagA());
        param->SetPersistent(definition.IsPersistent());
        param->SetHandler(&m_Face);
        m_KeyIndex.emplace(definition.GetKey(), m_Params.size());
        VParam* added = param.get();
        m_Params.push_back(std::move(param));
        added->AddObserver(this, false);
    }
    definitions.RegisterList(*this);
}

VParamList::~VParamList()
{
    if (m_DefinitionList != nullptr)
    {
        m_DefinitionList->UnregisterList(*this);
    }
    if (m_Guard != nullptr)
    {
        ClearGuard(m_Guard);
    }
    // Observers told OnDetached find no parameters left to look up.
    std::vector<std::unique_ptr<VParam>> params;
    params.swap(m_Params);
    m_KeyIndex.clear();
    params.clear();

    while (!m_ListObservers.empty())
    {
        IParamListObserver* observer = m_ListObservers.front();
        m_ListObservers.erase(m_ListObservers.begin());
        observer->OnDetached(*this);
    }
    if (m_OwnsAttachedObject && m_AttachedObject != nullptr)
    {
        m_AttachedObject->Destroy();
    }
}

const char* VParamList::GetKeyAt(unsigned index) const
{
    return index < m_Params.size() ? m_Params[index]->GetKey() : nullptr;
}

IParam* VParamList::GetParamAt(unsigned index)
{
    return index < m_Params.size() ? m_Params[index].get() : nullptr;
}

const IParam* VParamList::GetParamAt(unsigned index) const
{
    return index < m_Params.size() ? m_Params[index].get() : nullptr;
}

void VParamList::GetParams(std::vector<IParam*>& out)
{
    out.clear();
    for (const std::unique_ptr<VParam>& param : m_Params)
    {
        out.push_back(param.get());
    }
}

void VParamList::GetParams(std::vector<const IParam*>& out) const
{
    out.clear();
    for (const std::unique_ptr<VParam>& param : m_Params)
    {
        out.push_back(param.get());
    }
}

bool VParamList::SetGuard(IParamListHandler* handler)
{
    if (handler == nullptr || m_Guard != nullptr || !handler->AllowInstall(*this))
    {
        return false;
    }
    m_Guard = handler;
    for (std::size_t i = 0; i < m_Params.size(); ++i)
    {
        if (!m_Params[i]->SetGuard(&m_Face))
        {
            for (std::size_t j = 0; j < i; ++j)
            {
                m_Params[j]->ClearGuard(&m_Face);
            }
            m_Guard = nullptr;
            return false;
        }
    }
    handler->OnInstalled(*this);
    return true;
}

bool VParamList::ClearGuard(IParamListHandler* handler)
{
    if (handler == nullptr || handler != m_Guard)
    {
        return false;
    }
    for (const std::unique_ptr<VParam>& param : m_Params)
    {
        param->ClearGuard(&m_Face);
    }
    m_Guard = nullptr;
    handler->OnRemoved(*this);
    return true;
}

bool VParamList::RevalidateAll()
{
    bool all = true;
    for (const std::unique_ptr<VParam>& param : m_Params)
    {
        all = param->Revalidate() && all;
    }
    return all;
}

bool VParamList::NotifyAllAttributes()
{
    bool all = true;
    for (const std::unique_ptr<VParam>& param : m_Params)
    {
        all = param->NotifyAllAttributes() && all;
    }
    return all;
}

bool VParamList::AddObserverToAll(IParamObserver* observer, bool deliverNow)
{
    bool all = true;
    for (const std::unique_ptr<VParam>& param : m_Params)
    {
        all = param->AddObserver(observer, deliverNow) && all;
    }
    return all;
}

bool VParamList::RemoveObserverFromAll(IParamObserver* observer)
{
    bool all = true;
    for (const std::unique_ptr<VParam>& param : m_Params)
    {
        all = param->RemoveObserver(observer) && all;
    }
    return all;
}

bool VParamList::AddListObserver(IParamListObserver* observer)
{
    if (observer == nullptr || std::find(m_ListObservers.begin(), m_ListObservers.end(),
                                         observer) != m_ListObservers.end())
    {
        return false;
    }
    m_ListObservers.push_back(observer);
    observer->OnAttached(*this);
    return true;
}

bool VParamList::RemoveListObserver(IParamListObserver* observer)
{
    auto found = std::find(m_ListObservers.begin(), m_ListObservers.end(), observer);
    if (found == m_ListObservers.end())
    {
        return false;
    }
    m_ListObservers.erase(found);
    observer->OnDetached(*this);
    return true;
}

const IParamDefinitionList* VParamList::GetDefinitionList() const
{
    return m_DefinitionList;
}

void VParamList::SetAttachedObject(IDestroyable* object, bool owned)
{
    if (m_OwnsAttachedObject && m_AttachedObject != nullptr && m_AttachedObject != object)
    {
        m_AttachedObject->Destroy();
    }
    m_AttachedObject = object;
    m_OwnsAttachedObject = owned && object != nullptr;
}

void VParamList::PushModified()
{
    m_SavedModified.push_back(m_Modified);
    m_Modified = false;
}

bool VParamList::PopModified()
{
    if (m_SavedModified.empty())
    {
        return false;
    }
    m_Modified = m_SavedModified.back();
    m_SavedModified.pop_back();
    return true;
}

void VParamList::OnValueChanged(const IParam& param)
{
    m_Modified = true;
    const std::vector<IParamListObserver*> observers = m_ListObservers;
    for (IParamListObserver* observer : observers)
    {
        if (std::find(m_ListObservers.begin(), m_ListObservers.end(), observer) !=
            m_ListObservers.end())
        {
            observer->OnParamValueChanged(*this, param);
        }
    }
    if (m_Guard != nullptr)
    {
        m_Guard->OnParamValueChanged(*this, param);
    }
}

void VParamList::OnAttributesChanged(const IParam& param, unsigned mask)
{
    const std::vector<IParamListObserver*> observers = m_ListObservers;
    for (IParamListObserver* observer : observers)
    {
        if (std::find(m_ListObservers.begin(), m_ListObservers.end(), observer) !=
            m_ListObservers.end())
        {
            observer->OnParamAttributesChanged(*this, param, mask);
        }
    }
}

VParam* VParamList::FindParam(const char* key) const
{
    if (key == nullptr)
    {
        return nullptr;
    }
    auto found = m_KeyIndex.find(std::string_view(key));
    return found != m_KeyIndex.end() ? m_Params[found->second].get() : nullptr;
}

bool VParamList::VHandlerFace::AllowValueChange(IParam& param)
{
    return m_List.m_Guard == nullptr || m_List.m_Guard->AllowValueChange(m_List, param);
}

bool VParamList::VHandlerFace::AllowAttributeChange(IParam& param, unsigned mask)
{
    return m_List.m_Guard == nullptr || m_List.m_Guard->AllowAttributeChange(m_List, param, mask);
}
