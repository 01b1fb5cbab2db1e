// The camera frame info datum: the one info byte that a camera records per frame.
#pragma once

#include "FileIO/VDatumBase.h"

#include <cstdint>

/// Decodes field 0xCC00 (one byte) into the bound byte; writes that byte back.
/// Without a bound byte, Read decodes into a scratch byte and Write fails.
/// Not thread-safe: one thread at a time.
class VCameraFrameInfoDatum : public VDatumBase
{
public:
    static constexpr std::uint16_t kKeyInfoByte = 0xCC00;

    /// Binds the datum to `infoByte` (not owned; null to unbind).
    void SetDestination(std::uint8_t* infoByte) { m_Destination = infoByte; }

    std::uint32_t Read(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const override;

private:
    std::uint8_t* m_Destination = nullptr;
    std::uint8_t m_Scratch = 0;
};
