// Readable test failure output for timecode values.
#pragma once

#include "timecode/VTimecode.h"

#include <ostream>

inline void PrintTo(const VTimecode& timecode, std::ostream* out)
{
    *out << timecode.ToString(true, true) << " {" << timecode.ToText() << "}";
}

inline void PrintTo(const VStreamTimecode& record, std::ostream* out)
{
    *out << record.ToString(true, true) << " {code " << record.Standard << ", offset "
         << record.SubFrameOffset << ", ticks per sub-frame " << record.TicksPerSubFrame << "}";
}
