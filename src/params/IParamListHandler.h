// The guard of a whole parameter list.
#pragma once

class IParam;
class IParamList;

/// Guards every parameter of a list once installed with IParamList::SetGuard: each
/// parameter's permission requests reach it together with the list. Called on the
/// thread that changes the parameter (the main thread in this system), at the end of
/// the outermost change and before the parameter's observers; a change made to the
/// same parameter from inside a permission call is nested and reported with the
/// outer one. The list does not own its guard. Every operation has a neutral default.
class IParamListHandler
{
public:
    /// Hook: `param`'s value has changed and its observers have been told.
    virtual void OnParamValueChanged(IParamList& list, const IParam& param)
    {
        (void)list;
        (void)param;
    }
    /// Permission for a value change (the parameter already holds the new value);
    /// false restores the old value. Also asked by IParam::Revalidate.
    virtual bool AllowValueChange(IParamList& list, IParam& param)
    {
        (void)list;
        (void)param;
        return true;
    }
    /// Permission for an attribute change (`mask`: ParamAttributes bits).
    virtual bool AllowAttributeChange(IParamList& list, IParam& param, unsigned mask)
    {
        (void)list;
        (void)param;
        (void)mask;
        return true;
    }
    /// Permission to become the guard of `list`, asked by IParamList::SetGuard.
    virtual bool AllowInstall(IParamList& list)
    {
        (void)list;
        return true;
    }
    /// Hook: installed as the guard of `list`.
    virtual void OnInstalled(IParamList& list) { (void)list; }
    /// Hook: removed as the guard of `list` (ClearGuard, or the list is destroyed).
    virtual void OnRemoved(IParamList& list) { (void)list; }
    virtual ~IParamListHandler() = default;
};
