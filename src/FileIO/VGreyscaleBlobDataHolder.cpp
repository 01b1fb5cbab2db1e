#include "FileIO/VGreyscaleBlobDataHolder.h"

#include "FileIO/DefaultFormats.h"
#include "FileIO/VGreyscaleBlobSet.h"

VGreyscaleBlobDataHolder::VGreyscaleBlobDataHolder()
    : VDataHolderBasic(DefaultFormats::GreyscaleBlobs())
{
}

bool VGreyscaleBlobDataHolder::ReadItem(IBinaryInputStream& stream, const VDataFieldList& fields)
{
    m_Scratch.Clear();
    m_Datum.SetDestination(&m_Scratch);
    const VItemOutcome outcome = DecodeItem(stream, fields);
    m_Datum.SetDestination(nullptr);
    if (m_Target != nullptr && outcome.MayContinue())
    {
        m_Target->Append(m_Scratch);
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
        VGreyscaleBlobSet().CopyTo(*m_Target);
    }
}
