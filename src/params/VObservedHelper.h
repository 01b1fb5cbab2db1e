// The observer list behind observable interfaces of the parameter model.
#pragma once

#include <algorithm>
#include <vector>

/// Implements AddObserver and RemoveObserver of TInterface for observers of type
/// TObserver, which must offer OnAttached(const TInterface&) and
/// OnDetached(const TInterface&). Observers are not owned.
///
/// Notifications walk a copy of the list taken at their start and skip observers
/// removed meanwhile, so an observer may remove itself or others from inside a
/// callback. A derived class must call DetachAllObservers in its own destructor, so
/// that observers still see the whole object in OnDetached.
///
/// Not synchronised: the owner serialises all calls.
template <class TInterface, class TObserver> class VObservedHelper : public TInterface
{
public:
    VObservedHelper() = default;
    /// Copies have no observers.
    VObservedHelper(const VObservedHelper&) : TInterface() {}
    VObservedHelper& operator=(const VObservedHelper&) = delete;

    bool AddObserver(TObserver* observer, bool deliverNow) override
    {
        if (observer == nullptr || IsObserver(observer))
        {
            return false;
        }
        m_Observers.push_back(observer);
        observer->OnAttached(static_cast<const TInterface&>(*this));
        OnObserverAdded(observer, deliverNow);
        return true;
    }

    bool RemoveObserver(TObserver* observer) override
    {
        auto found = std::find(m_Observers.begin(), m_Observers.end(), observer);
        if (found == m_Observers.end())
        {
            return false;
        }
        m_Observers.erase(found);
        observer->OnDetached(static_cast<const TInterface&>(*this));
        OnObserverRemoved(observer);
        return true;
    }

    /// Called after an observer was added and told OnAttached.
    virtual void OnObserverAdded(TObserver* observer, bool deliverNow)
    {
        (void)observer;
        (void)deliverNow;
    }

    /// Called after an observer was removed; does nothing.
    virtual void OnObserverRemoved(TObserver* observer) { (void)observer; }

    /// Removes every observer, calling OnDetached on each.
    virtual void DetachAllObservers()
    {
        while (!m_Observers.empty())
        {
            TObserver* observer = m_Observers.front();
            m_Observers.erase(m_Observers.begin());
            observer->OnDetached(static_cast<const TInterface&>(*this));
        }
    }

    bool IsObserver(const TObserver* observer) const
    {
        return std::find(m_Observers.begin(), m_Observers.end(), observer) != m_Observers.end();
    }

    std::size_t GetObserverCount() const { return m_Observers.size(); }

protected:
    ~VObservedHelper() override { DetachAllObservers(); }

    /// Calls `notify(observer)` for every observer attached when the walk starts and
    /// still attached when its turn comes.
    template <class TNotify> void NotifyObservers(TNotify&& notify)
    {
        const std::vector<TObserver*> snapshot = m_Observers;
        for (TObserver* observer : snapshot)
        {
            if (IsObserver(observer))
            {
                notify(*observer);
            }
        }
    }

private:
    std::vector<TObserver*> m_Observers;
};
