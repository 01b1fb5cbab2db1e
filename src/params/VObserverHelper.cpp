#include "params/VObserverHelper.h"

#include "params/IParam.h"

#include <algorithm>

VObserverHelper::~VObserverHelper()
{
    DetachFromAll();
}

void VObserverHelper::OnAttached(const IParam& param)
{
    m_Params.push_back(&param);
}

void VObserverHelper::OnDetached(const IParam& param)
{
    auto found = std::find(m_Params.begin(), m_Params.end(), &param);
    if (found != m_Params.end())
    {
        m_Params.erase(found);
    }
}

void VObserverHelper::DetachFromAll()
{
    // RemoveObserver calls back into OnDetached, which shrinks m_Params.
    const std::vector<const IParam*> params = m_Params;
    for (const IParam* param : params)
    {
        // Observers are told about a parameter through a const reference, but the
        // parameter itself is never a const object: its owner hands out writable ones.
        if (!const_cast<IParam*>(param)->RemoveObserver(this))
        {
            OnDetached(*param);
        }
    }
}
