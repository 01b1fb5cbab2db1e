// One data source of a sync unit behind the device's data lock.
#pragma once

#include <memory>
#include <mutex>
#include <utility>

/// Holds one source that is made on the shell's receive thread ("portset"), used on the frame
/// thread and released on the main thread (disconnect). Every change takes the data lock, which
/// the device base also holds around each frame, so a frame never sees a half-replaced source;
/// a replaced or released source is destroyed after the lock is dropped.
///
/// Threading contract: Replace and Release take the data lock (recursive) and may run on any
/// thread. Get must be called with the data lock held; the pointer is valid while it stays
/// held. The lock must outlive this object. Not copyable.
template <class TSource> class TDeviceSource
{
public:
    explicit TDeviceSource(std::recursive_mutex& dataLock) : m_DataLock(dataLock) {}
    TDeviceSource(const TDeviceSource&) = delete;
    TDeviceSource& operator=(const TDeviceSource&) = delete;

    /// Puts `source` in place (null empties the holder).
    void Replace(std::unique_ptr<TSource> source)
    {
        // Declared before the lock, so the old source goes after it is released.
        std::unique_ptr<TSource> old = std::move(source);
        std::lock_guard lock(m_DataLock);
        m_Source.swap(old);
    }

    void Release() { Replace(nullptr); }

    /// The current source, or null. Data lock held.
    TSource* Get() const { return m_Source.get(); }

private:
    std::recursive_mutex& m_DataLock;
    std::unique_ptr<TSource> m_Source; // data lock
};
