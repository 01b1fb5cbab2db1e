#include "devices/VDeviceClassDefinitions.h"

#include "lumen/Log.h"

namespace
{
// The third and fourth texts of every device class's list.
constexpr const char* kListText3 = "Description";
constexpr const char* kListText4 = "General";
} // namespace

std::shared_ptr<VParamDefinitionList> VDeviceClassDefinitions::Register()
{
    std::lock_guard lock(m_Lock);
    if (m_List != nullptr)
        return m_List;
    auto list =
        std::make_shared<VParamDefinitionList>(m_Name, m_Description, kListText3, kListText4);
    if (m_Fill == nullptr || !m_Fill(*list))
    {
        ZEL_LOG("Devices", 1, "The definitions of device class \"%s\" could not be made", m_Name);
        return nullptr;
    }
    m_List = std::move(list);
    return m_List;
}

std::shared_ptr<VParamDefinitionList> VDeviceClassDefinitions::Get() const
{
    std::lock_guard lock(m_Lock);
    return m_List;
}

void VDeviceClassDefinitions::Release()
{
    std::shared_ptr<VParamDefinitionList> released;
    {
        std::lock_guard lock(m_Lock);
        released.swap(m_List);
    }
}

IParamList* VDefinitionListKeeper::CreateParamList() const
{
    return m_DefinitionList != nullptr ? m_DefinitionList->CreateParamList() : nullptr;
}
