// The two data sources of a camera variant (centroids and greyscale) and the locking that
// keeps the frame thread, the shell's "portset" and "notify" and the disconnect from racing
// over them.
#pragma once

#include <memory>
#include <mutex>
#include <utility>

/// A camera's centroid source and greyscale source, each possibly empty. They are created on
/// the shell's receive thread ("portset"), used on the frame thread (OnFrame) and released on
/// the main thread (OnDisconnected); all three hold the camera's data lock, which the device
/// base also holds around OnFrame and around "notify". A replaced or released source is
/// destroyed after the lock has been dropped, so a slow socket close never stalls a frame.
///
/// Threading contract: Replace, ReplaceGreyscale and Release take the data lock themselves and
/// may run on any thread that does not hold it in a way that would block the frame thread
/// (the lock is recursive). GetCentroid and GetGreyscale must be called with the data lock
/// held, and the pointers they return are valid only while it stays held. The lock must
/// outlive this object. Not copyable.
template <class TCentroid, class TGreyscale> class TCameraSources
{
public:
    explicit TCameraSources(std::recursive_mutex& dataLock) : m_DataLock(dataLock) {}
    TCameraSources(const TCameraSources&) = delete;
    TCameraSources& operator=(const TCameraSources&) = delete;

    /// Puts both new sources in place (either may be null: that source is then empty).
    void Replace(std::unique_ptr<TCentroid> centroid, std::unique_ptr<TGreyscale> greyscale)
    {
        // Declared before the lock, so the old sources go after it is released.
        std::unique_ptr<TCentroid> oldCentroid = std::move(centroid);
        std::unique_ptr<TGreyscale> oldGreyscale = std::move(greyscale);
        std::lock_guard lock(m_DataLock);
        m_Centroid.swap(oldCentroid);
        m_Greyscale.swap(oldGreyscale);
    }

    /// Puts a new greyscale source in place and leaves the centroid source as it is.
    void ReplaceGreyscale(std::unique_ptr<TGreyscale> greyscale)
    {
        std::unique_ptr<TGreyscale> oldGreyscale = std::move(greyscale);
        std::lock_guard lock(m_DataLock);
        m_Greyscale.swap(oldGreyscale);
    }

    /// Empties both: the centroid source first, then the greyscale source.
    void Release()
    {
        std::unique_ptr<TCentroid> oldCentroid;
        std::unique_ptr<TGreyscale> oldGreyscale;
        {
            std::lock_guard lock(m_DataLock);
            oldCentroid.swap(m_Centroid);
            oldGreyscale.swap(m_Greyscale);
        }
        oldCentroid.reset();
        oldGreyscale.reset();
    }

    /// The current sources, or null. Data lock held.
    TCentroid* GetCentroid() const { return m_Centroid.get(); }
    TGreyscale* GetGreyscale() const { return m_Greyscale.get(); }

private:
    std::recursive_mutex& m_DataLock;
    std::unique_ptr<TCentroid> m_Centroid;   // data lock
    std::unique_ptr<TGreyscale> m_Greyscale; // data lock
};
