#include "timecode/TimecodeDigits.h"

namespace TimecodeDigits
{

namespace
{
void AppendTwoDigits(std::string& text, unsigned value, unsigned limit)
{
    if (value >= limit)
    {
        text += "??";
        return;
    }
    text += static_cast<char>('0' + value / 10);
    text += static_cast<char>('0' + value % 10);
}
} // namespace

std::string FormatClock(unsigned hours, unsigned minutes, unsigned seconds, unsigned frames,
                        char framesSeparator)
{
    std::string text;
    text.reserve(11);
    AppendTwoDigits(text, hours, 24);
    text += ':';
    AppendTwoDigits(text, minutes, 60);
    text += ':';
    AppendTwoDigits(text, seconds, 60);
    text += framesSeparator;
    AppendTwoDigits(text, frames, 30);
    return text;
}

} // namespace TimecodeDigits
