// An observer base that detaches itself from every parameter when destroyed.
#pragma once

#include "params/IParamObserver.h"

#include <vector>

/// Remembers every parameter it is attached to (OnAttached adds, OnDetached removes)
/// and detaches itself from all of them when destroyed, so a destroyed observer is
/// never called. Overrides of OnAttached or OnDetached must call these versions.
/// Same threading as the parameters it observes. Not copyable.
class VObserverHelper : public IParamObserver
{
public:
    VObserverHelper() = default;
    VObserverHelper(const VObserverHelper&) = delete;
    VObserverHelper& operator=(const VObserverHelper&) = delete;
    ~VObserverHelper() override;

    void OnAttached(const IParam& param) override;
    void OnDetached(const IParam& param) override;

    /// Removes this observer from every parameter it is attached to.
    void DetachFromAll();

    /// The parameters this observer is attached to, in attachment order.
    const std::vector<const IParam*>& GetObservedParams() const { return m_Params; }

private:
    std::vector<const IParam*> m_Params;
};
