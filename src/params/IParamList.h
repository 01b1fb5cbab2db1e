// The parameter list: one parameter per definition of a definition list, by key.
#pragma once

#include "params/IDestroyable.h"
#include "params/IParam.h"
#include "params/IParamListHandler.h"

#include <vector>

class IParamDefinitionList;
class IParamList;

/// Told about every parameter change of a list it was added to. Same thread and
/// timing as the parameters' own observers. All callbacks do nothing by default.
class IParamListObserver
{
public:
    virtual void OnAttached(const IParamList& list) { (void)list; }
    /// Removed, or the list is being destroyed.
    virtual void OnDetached(const IParamList& list) { (void)list; }
    virtual void OnParamValueChanged(const IParamList& list, const IParam& param)
    {
        (void)list;
        (void)param;
    }
    virtual void OnParamAttributesChanged(const IParamList& list, const IParam& param,
                                          unsigned mask)
    {
        (void)list;
        (void)param;
        (void)mask;
    }
    virtual ~IParamListObserver() = default;
};

/// The parameters of one device (or other parameterised object), one per definition
/// of its definition list, in definition order. Created by
/// IParamDefinitionList::CreateParamList; the creator owns it and releases it with
/// Destroy (e.g. std::shared_ptr<IParamList>(list, VDestroyDeleter())).
///
/// Threading: no lock. Built on the main thread; afterwards parameter values change
/// on the main thread only (see IParam). Keys are exact, case-sensitive texts.
class IParamList : public IDestroyable
{
public:
    virtual unsigned GetParamCount() const = 0;
    /// The key of the parameter at `index`, or null when out of range.
    virtual const char* GetKeyAt(unsigned index) const = 0;
    /// The parameter with exactly this key, or null.
    virtual IParam* GetParam(const char* key) = 0;
    virtual const IParam* GetParam(const char* key) const = 0;
    /// The parameter at `index` (definition order), or null.
    virtual IParam* GetParamAt(unsigned index) = 0;
    virtual const IParam* GetParamAt(unsigned index) const = 0;
    /// Replaces `out` with the parameters in order.
    virtual void GetParams(std::vector<IParam*>& out) = 0;
    virtual void GetParams(std::vector<const IParam*>& out) const = 0;

    /// Installs `handler` (not owned) as the guard of every parameter. False when null,
    /// when a guard is set already, when the handler refuses (AllowInstall) or when a
    /// parameter already has a guard of its own (then nothing stays installed).
    virtual bool SetGuard(IParamListHandler* handler) = 0;
    /// Removes `handler` from every parameter and from the list; false when it is
    /// not the current guard.
    virtual bool ClearGuard(IParamListHandler* handler) = 0;
    /// The current guard, or null.
    virtual IParamListHandler* GetGuard() const = 0;
    /// Revalidate on every parameter (each asks the guard); true when all succeed.
    virtual bool RevalidateAll() = 0;
    /// NotifyAllAttributes on every parameter; true when all succeed.
    virtual bool NotifyAllAttributes() = 0;
    /// Adds `observer` to every parameter (see IParam::AddObserver); true when every
    /// parameter accepted it.
    virtual bool AddObserverToAll(IParamObserver* observer, bool deliverNow) = 0;
    /// Removes `observer` from every parameter; true when it was attached to all.
    virtual bool RemoveObserverFromAll(IParamObserver* observer) = 0;
    /// List observers (not owned): OnAttached at once; false for null or a duplicate.
    virtual bool AddListObserver(IParamListObserver* observer) = 0;
    virtual bool RemoveListObserver(IParamListObserver* observer) = 0;
    /// The definition list the list came from (null once that was destroyed).
    virtual const IParamDefinitionList* GetDefinitionList() const = 0;

    /// An object kept with the list; when `owned`, the list releases it with Destroy
    /// when it is replaced or the list is destroyed.
    virtual void SetAttachedObject(IDestroyable* object, bool owned) = 0;
    virtual IDestroyable* GetAttachedObject() const = 0;
    /// Set whenever a parameter's value changes.
    virtual bool IsModified() const = 0;
    virtual void SetModified(bool modified) = 0;
    /// Saves the modified flag and clears it; PopModified restores the saved flag
    /// (false when nothing was saved).
    virtual void PushModified() = 0;
    virtual bool PopModified() = 0;

protected:
    ~IParamList() override = default;
};
