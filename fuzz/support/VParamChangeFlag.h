// Tells a fuzz target whether an input changed any parameter of the devices it watches, so that
// the target puts its rig back only after inputs that disturbed it.
#pragma once

#include "params/IParamList.h"
#include "params/IParamObserver.h"

#include <atomic>
#include <vector>

/// Watches every parameter of the lists it is given; set by any value change, on whichever
/// thread makes it (a device's clock thread as well as the fuzzer's), taken by the fuzzer's
/// thread. Owns nothing but its own registrations, which it removes when destroyed; the lists
/// must outlive it.
class VParamChangeFlag : public IParamObserver
{
public:
    VParamChangeFlag() = default;
    ~VParamChangeFlag() override
    {
        for (IParamList* list : m_Lists)
            list->RemoveObserverFromAll(this);
    }
    VParamChangeFlag(const VParamChangeFlag&) = delete;
    VParamChangeFlag& operator=(const VParamChangeFlag&) = delete;

    bool Watch(IParamList& list)
    {
        if (!list.AddObserverToAll(this, false))
            return false;
        m_Lists.push_back(&list);
        return true;
    }

    /// Whether anything changed since the last call.
    bool TakeChanged() { return m_Changed.exchange(false); }

    void OnValueChanged(const IParam& /*param*/) override { m_Changed.store(true); }

private:
    std::vector<IParamList*> m_Lists;
    std::atomic<bool> m_Changed{false};
};
