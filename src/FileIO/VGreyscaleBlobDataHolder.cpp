#include "FileIO/VGreyscaleBlobDataHolder.h"

#include "FileIO/DefaultFormats.h"

VGreyscaleBlobDataHolder::VGreyscaleBlobDataHolder()
    : VDataHolderBasic(DefaultFormats::GreyscaleBlobs())
{
}

bool VGreyscaleBlobDataHolder::ReadItem(IBinaryInputStream& stream, const VDataFieldList& fields)
{
    m_Relay.SetData(IGreyscaleBlobData{});
    m_Datum.SetDestination(&m_Relay);
    const VItemOutcome outcome = DecodeItem(stream, fields);
    m_Datum.SetDestination(nullptr);
    if (m_Target != nullptr && outcome.MayContinue())
    {
        m_Target->Append(m_Relay);
    }
    return outcome.MayContinue();
}

bool VGreyscaleBlobDataHolder::WriteItems(IBinaryOutputStream& stream)
{
    bool written = true;
    const std::uint32_t count = GetCount();
    m_Datum.SetDestination(&m_Scratch);
    for (std::uint32_t i = 0; i < count && written; ++i)
    {
        m_Target->GetItem(i, m_Scratch);
        written = m_Datum.Write(stream, m_Format.GetFields());
    }
    m_Datum.SetDestination(nullptr);
    return written && stream.IsGood();
}

void VGreyscaleBlobDataHolder::Clear()
{
    if (m_Target != nullptr)
    {
        m_Target->SetAll(nullptr, 0, 0, m_EmptyName);
    }
}
