// The class-wide parameter definition list of a device class behind a process-wide shared
// handle that start-up registers, and the base through which a device keeps its class's list
// alive for as long as its own parameters exist.
#pragma once

#include "params/VParamDefinitionList.h"

#include <memory>
#include <mutex>
#include <utility>

class IParamDefinitionList;
class IParamList;

/// The process-wide handle of one device class's definition list (one object per class, such
/// as VFakeDeviceCameraX2DDefinitions). Register creates the list from the class's two texts
/// and "Description", "General", fills it with the class's fill function and keeps it; the
/// devices of the class take it with Get when they are constructed. Release drops the
/// process-wide handle; a device still holding the list (VDefinitionListKeeper) keeps it
/// alive until it goes, so a list never dies before a parameter list made from it.
///
/// Threading contract: Register and Release on the main thread (start-up and teardown), as
/// the definition list itself requires; Get on any thread (m_Lock guards the handle).
/// Constant-initialised, so usable from any static or dynamic initialisation. Not copyable.
class VDeviceClassDefinitions
{
public:
    /// Adds the class's definitions to an empty list; false when any could not be added.
    using FillFunction = bool (*)(IParamDefinitionList& list);

    /// `name` and `description` are the list's first two texts ("Camera", "Camera
    /// parameters"); static texts, kept by pointer.
    constexpr VDeviceClassDefinitions(const char* name, const char* description, FillFunction fill)
        : m_Name(name), m_Description(description), m_Fill(fill)
    {
    }
    VDeviceClassDefinitions(const VDeviceClassDefinitions&) = delete;
    VDeviceClassDefinitions& operator=(const VDeviceClassDefinitions&) = delete;

    /// Creates and fills the list unless it is registered already, and returns the handle
    /// (the same list on every call while registered). Null, with nothing registered, when
    /// the fill function fails. Main thread.
    std::shared_ptr<VParamDefinitionList> Register();
    /// The registered list, or null when none is registered. Any thread.
    std::shared_ptr<VParamDefinitionList> Get() const;
    /// Drops the process-wide handle (devices that hold the list keep it). Main thread.
    void Release();

private:
    const char* const m_Name;
    const char* const m_Description;
    const FillFunction m_Fill;
    mutable std::mutex m_Lock; // guards m_List
    std::shared_ptr<VParamDefinitionList> m_List;
};

/// Keeps a device class's definition list alive for the life of a device. Made the first base
/// of the device class, it is constructed before and destroyed after the device base, whose
/// parameter list must not outlive the definition list it was made from.
///
/// Threading contract: construction and destruction on the main thread, with the device.
/// Not copyable (nor is the device).
class VDefinitionListKeeper
{
public:
    VDefinitionListKeeper(const VDefinitionListKeeper&) = delete;
    VDefinitionListKeeper& operator=(const VDefinitionListKeeper&) = delete;

    /// The kept list; null when the class's list was not registered.
    const std::shared_ptr<VParamDefinitionList>& GetDefinitionList() const
    {
        return m_DefinitionList;
    }

protected:
    explicit VDefinitionListKeeper(std::shared_ptr<VParamDefinitionList> list)
        : m_DefinitionList(std::move(list))
    {
    }
    ~VDefinitionListKeeper() = default;

    /// A new parameter list of the kept definition list, owned by the caller (the device
    /// base takes it), or null when no list is kept (the device is then inert). Main thread.
    IParamList* CreateParamList() const;

private:
    const std::shared_ptr<VParamDefinitionList> m_DefinitionList;
};
