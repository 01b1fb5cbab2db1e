// A list guard whose operations call member operations of an owner object.
#pragma once

#include "params/IParamListHandler.h"

/// Holder of the member-pointer list handler for owner class TOwner.
///
/// A device keeps a `VParamListHandler<VFakeDevice>::Handler` member, points the
/// operations it cares about at its own member operations and installs the handler
/// as the guard of its parameter list:
///
///     m_Handler.SetAllowValueChange(&VFakeDevice::MirrorParam);
///     m_Params->SetGuard(&m_Handler);
///     m_Params->RevalidateAll();   // MirrorParam now ran once for every parameter
///
/// Each operation calls its member operation when one is set and otherwise answers
/// like IParamListHandler's defaults (permissions true, hooks nothing). Runs on the
/// thread that changes the parameters; the owner must outlive the installation.
template <class TOwner> class VParamListHandler
{
public:
    class Handler final : public IParamListHandler
    {
    public:
        using ValueHook = void (TOwner::*)(IParamList&, const IParam&);
        using ValuePermission = bool (TOwner::*)(IParamList&, IParam&);
        using AttributePermission = bool (TOwner::*)(IParamList&, IParam&, unsigned);
        using InstallPermission = bool (TOwner::*)(IParamList&);
        using ListHook = void (TOwner::*)(IParamList&);

        explicit Handler(TOwner& owner, ValuePermission allowValueChange = nullptr)
            : m_Owner(owner), m_AllowValueChange(allowValueChange)
        {
        }
        Handler(const Handler&) = delete;
        Handler& operator=(const Handler&) = delete;

        /// Each setter replaces one operation; null restores the default answer.
        Handler& SetOnParamValueChanged(ValueHook hook)
        {
            m_OnParamValueChanged = hook;
            return *this;
        }
        Handler& SetAllowValueChange(ValuePermission permission)
        {
            m_AllowValueChange = permission;
            return *this;
        }
        Handler& SetAllowAttributeChange(AttributePermission permission)
        {
            m_AllowAttributeChange = permission;
            return *this;
        }
        Handler& SetAllowInstall(InstallPermission permission)
        {
            m_AllowInstall = permission;
            return *this;
        }
        Handler& SetOnInstalled(ListHook hook)
        {
            m_OnInstalled = hook;
            return *this;
        }
        Handler& SetOnRemoved(ListHook hook)
        {
            m_OnRemoved = hook;
            return *this;
        }

        void OnParamValueChanged(IParamList& list, const IParam& param) override
        {
            if (m_OnParamValueChanged != nullptr)
            {
                (m_Owner.*m_OnParamValueChanged)(list, param);
            }
        }
        bool AllowValueChange(IParamList& list, IParam& param) override
        {
            return m_AllowValueChange == nullptr || (m_Owner.*m_AllowValueChange)(list, param);
        }
        bool AllowAttributeChange(IParamList& list, IParam& param, unsigned mask) override
        {
            return m_AllowAttributeChange == nullptr ||
                   (m_Owner.*m_AllowAttributeChange)(list, param, mask);
        }
        bool AllowInstall(IParamList& list) override
        {
            return m_AllowInstall == nullptr || (m_Owner.*m_AllowInstall)(list);
        }
        void OnInstalled(IParamList& list) override
        {
            if (m_OnInstalled != nullptr)
            {
                (m_Owner.*m_OnInstalled)(list);
            }
        }
        void OnRemoved(IParamList& list) override
        {
            if (m_OnRemoved != nullptr)
            {
                (m_Owner.*m_OnRemoved)(list);
            }
        }

    private:
        TOwner& m_Owner;
        ValueHook m_OnParamValueChanged = nullptr;
        ValuePermission m_AllowValueChange = nullptr;
        AttributePermission m_AllowAttributeChange = nullptr;
        InstallPermission m_AllowInstall = nullptr;
        ListHook m_OnInstalled = nullptr;
        ListHook m_OnRemoved = nullptr;
    };
};
