// The start timecode block of an X2D file (HeaderId 1): the timecode of the trial's first
// frame, stored as the numeric timecode text.
#pragma once

#include "FileIO/X2DIO/ICustomHeader.h"

#include <cstdint>
#include <string>
#include <utility>

/// The start timecode header: one text, empty until read or set. Owned by the X2D reader
/// or writer; not thread-safe: one thread at a time.
class VStartTimecodeHeader final : public ICustomHeader
{
public:
    static constexpr std::uint16_t kHeaderId = 1;
    static constexpr std::uint16_t kFormatId = 0x5CAA;
    static constexpr std::uint16_t kKeyTimecodeText = 0x5C01;

    std::uint16_t GetHeaderId() const override { return kHeaderId; }
    /// Reads the header's format, then the text of key 0x5C01; other keys are skipped.
    bool Read(IBinaryInputStream& stream) override;
    bool Write(IBinaryOutputStream& stream) const override;

    /// The timecode in the numeric text form of VTimecode::ToText.
    const std::string& GetText() const { return m_Text; }
    void SetText(std::string text) { m_Text = std::move(text); }

private:
    std::string m_Text;
};
