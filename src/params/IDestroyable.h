// Objects handed across interfaces are released by the object itself, and the
// smart-pointer deleter that does so.
#pragma once

#include <memory>

/// An object that deletes itself: whoever receives one across an interface
/// releases it with Destroy, never with delete.
class IDestroyable
{
public:
    /// Deletes the object; it must not be used afterwards.
    virtual void Destroy() = 0;

protected:
    virtual ~IDestroyable() = default;
};

/// Smart-pointer deleter that releases an IDestroyable with Destroy; null is ignored.
/// Use with std::unique_ptr (see TDestroyPtr) or as the deleter of a std::shared_ptr.
struct VDestroyDeleter
{
    void operator()(IDestroyable* object) const
    {
        if (object != nullptr)
        {
            object->Destroy();
        }
    }
};

/// Sole ownership of an object released through Destroy.
template <class T> using TDestroyPtr = std::unique_ptr<T, VDestroyDeleter>;
