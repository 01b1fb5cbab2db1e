// An observer of one parameter that calls a member operation of a device with the
// parameter's new value.
#pragma once

#include "params/IParam.h"
#include "params/IParamObserver.h"
#include "params/ParamAccess.h"

/// Calls `(device.*Operation)(value)` whenever the observed parameter's value
/// changes and is valid; an invalid value calls nothing. T is the parameter's
/// value type (bool, int32_t, uint32_t, double, std::string; see ParamAccess.h);
/// a parameter of another type never calls. The other callbacks do nothing.
///
///     VFakeZtParamObserver<VFakeDeviceCamera, bool, &VFakeDeviceCamera::OnPreviewModeChanged>
///         m_PreviewObserver{GetParamList()->GetParam("PreviewMode"), *this};
///     m_PreviewObserver.Attach(true);
///
/// Neither the parameter nor the device is owned. Destruction detaches the
/// observer; a parameter destroyed first is simply forgotten.
/// Threading: as the parameter (main thread); the operation runs inside the change.
/// Not copyable.
template <class TDevice, class T, void (TDevice::*Operation)(T)>
class VFakeZtParamObserver final : public IParamObserver
{
public:
    /// `param` may be null (a key the list does not have): the observer then does nothing.
    VFakeZtParamObserver(IParam* param, TDevice& device) : m_Param(param), m_Device(device) {}
    ~VFakeZtParamObserver() override { Detach(); }
    VFakeZtParamObserver(const VFakeZtParamObserver&) = delete;
    VFakeZtParamObserver& operator=(const VFakeZtParamObserver&) = delete;

    /// Attaches to the parameter; with `deliverNow` the operation runs at once
    /// with the current value (when valid). False without a parameter or when
    /// already attached.
    bool Attach(bool deliverNow)
    {
        if (m_Param == nullptr || m_Attached)
            return false;
        m_Attached = true;
        if (m_Param->AddObserver(this, deliverNow))
            return true;
        m_Attached = false;
        return false;
    }

    /// Detaches from the parameter; harmless when not attached.
    void Detach()
    {
        if (m_Param != nullptr && m_Attached)
            m_Param->RemoveObserver(this);
        m_Attached = false;
    }

    bool IsAttached() const { return m_Attached; }

    void OnValueChanged(const IParam& param) override
    {
        T value{};
        if (GetValidParamValue<T>(param, value))
            (m_Device.*Operation)(value);
    }

    void OnDetached(const IParam& param) override
    {
        // Also called when the parameter is destroyed before the observer.
        if (&param == m_Param)
            m_Attached = false;
    }

private:
    IParam* const m_Param;
    TDevice& m_Device;
    bool m_Attached = false;
};
