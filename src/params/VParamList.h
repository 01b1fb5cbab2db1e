// The parameter list created from a definition list, with its handler face that
// hands each parameter's permission requests to the list's guard.
#pragma once

#include "params/IParamList.h"
#include "params/VObserverHelper.h"
#include "params/VParam.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class VParamDefinitionList;

/// One parameter per definition of a VParamDefinitionList, in definition order,
/// found by exact key. Owns its parameters; observes them (through its
/// VObserverHelper face) to tell its list observers and its guard about changes.
/// Every parameter's handler is the list's handler face, which is also installed as
/// each parameter's guard while the list has a guard, and forwards each permission
/// request to that guard together with the list.
///
/// Created by VParamDefinitionList::CreateParamList; released with Destroy. The
/// definition list must outlive it. On destruction it leaves the definition list's
/// live lists, clears its guard, destroys its parameters (each tells its observers
/// OnDetached), tells its list observers and releases an owned attached object.
/// Threading as IParamList. Not copyable.
class VParamList final : public IParamList, public VObserverHelper
{
public:
    /// Creates the parameters and registers the list with `definitions`.
    explicit VParamList(VParamDefinitionList& definitions);
    VParamList(const VParamList&) = delete;
    VParamList& operator=(const VParamList&) = delete;
    ~VParamList() override;

    void Destroy() override { delete this; }

    unsigned GetParamCount() const override { return static_cast<unsigned>(m_Params.size()); }
    const char* GetKeyAt(unsigned index) const override;
    IParam* GetParam(const char* key) override { return FindParam(key); }
    const IParam* GetParam(const char* key) const override { return FindParam(key); }
    IParam* GetParamAt(unsigned index) override;
    const IParam* GetParamAt(unsigned index) const override;
    void GetParams(std::vector<IParam*>& out) override;
    void GetParams(std::vector<const IParam*>& out) const override;
    bool SetGuard(IParamListHandler* handler) override;
    bool ClearGuard(IParamListHandler* handler) override;
    IParamListHandler* GetGuard() const override { return m_Guard; }
    bool RevalidateAll() override;
    bool NotifyAllAttributes() override;
    bool AddObserverToAll(IParamObserver* observer, bool deliverNow) override;
    bool RemoveObserverFromAll(IParamObserver* observer) override;
    bool AddListObserver(IParamListObserver* observer) override;
    bool RemoveListObserver(IParamListObserver* observer) override;
    const IParamDefinitionList* GetDefinitionList() const override;
    void SetAttachedObject(IDestroyable* object, bool owned) override;
    IDestroyable* GetAttachedObject() const override { return m_AttachedObject; }
    bool IsModified() const override { return m_Modified; }
    void SetModified(bool modified) override { m_Modified = modified; }
    void PushModified() override;
    bool PopModified() override;

    // The list's observer face on its own parameters.
    void OnValueChanged(const IParam& param) override;
    void OnAttributesChanged(const IParam& param, unsigned mask) override;

private:
    friend class VParamDefinitionList;

    /// The handler of every parameter, and their guard while the list has one.
    class VHandlerFace final : public IParamHandler, public IParamGuard
    {
    public:
        explicit VHandlerFace(VParamList& list) : m_List(list) {}
        bool IsParamFlagB(const IParam&) const override { return false; }
        IParamList* GetParamList() const override { return &m_List; }
        bool AllowValueChange(IParam& param) override;
        bool AllowAttributeChange(IParam& param, unsigned mask) override;

    private:
        VParamList& m_List;
    };

    VParam* FindParam(const char* key) const;
    /// Called by the definition list when it is destroyed first.
    void ForgetDefinitionList() { m_DefinitionList = nullptr; }

    VHandlerFace m_Face;
    std::vector<IParamListObserver*> m_ListObservers;
    VParamDefinitionList* m_DefinitionList;
    std::vector<std::unique_ptr<VParam>> m_Params;
    std::map<std::string, std::size_t, std::less<>> m_KeyIndex;
    IDestroyable* m_AttachedObject = nullptr;
    bool m_OwnsAttachedObject = false;
    IParamListHandler* m_Guard = nullptr;
    bool m_Modified = false;
    std::vector<bool> m_SavedModified;
};
