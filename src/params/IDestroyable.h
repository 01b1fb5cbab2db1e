// Objects handed across interfaces are released by the object itself.
#pragma once

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
