// libFuzzer entry for the timecode readers: the clock, record and numeric text forms
// and the fields with a capture rate. Whatever the input, a reader must not crash, and
// what it accepts must be a timecode that survives the count and stream conversions.
#include "timecode/VTimecode.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace
{

// Rates that reach every branch of the rate classification, including the refused ones.
const double FuzzRates[] = {100.0,
                            120.0,
                            119.88,
                            150.0,
                            110.0,
                            25.0,
                            30.0,
                            59.94,
                            300.0,
                            100.5,
                            0.3,
                            0.0,
                            -100.0,
                            1.0e30,
                            25.0 * 70000,
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()};
constexpr size_t FuzzRateCount = sizeof(FuzzRates) / sizeof(FuzzRates[0]);

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

/// A valid timecode's count names it again, and its stream record reads back.
void CheckAccepted(const VTimecode& timecode)
{
    Check(timecode.IsValid());
    Check(!timecode.ToString(true, true).empty());

    uint32_t count = 0;
    if (timecode.ToSubFrameCount(count))
    {
        VTimecode again(timecode);
        Check(again.FromSubFrameCount(count));
        Check(again == timecode);
    }

    VStreamTimecode stream;
    Check(timecode.ToStreamTimecode(stream));
    Check(stream.IsValid());
    Check(!stream.ToString(true, true).empty());
    VTimecode back;
    Check(back.FromStreamTimecode(stream));
    Check(back.IsValid());
    Check(back.GetHours() == timecode.GetHours() && back.GetFrames() == timecode.GetFrames());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // Byte 0 picks the reader and the divisors, byte 1 the rate; the rest is the text.
    const uint8_t selector = data[0];
    const double rate = FuzzRates[data[1] % FuzzRateCount];
    const bool divisors30And25 = (selector & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    VTimecode timecode;
    VStringStd message;
    VStreamTimecode stream;
    switch ((selector >> 1) % 4)
    {
    case 0:
        if (timecode.FromTimecodeText(text, rate, divisors30And25, message, stream))
        {
            CheckAccepted(timecode);
            Check(stream.IsValid());
        }
        break;
    case 1:
        if (timecode.FromTimecodeRecordText(text, rate, divisors30And25, message, stream))
        {
            CheckAccepted(timecode);
            Check(stream.IsValid());
        }
        break;
    case 2:
        if (text.size() >= 14)
        {
            // The fields themselves, with the back-off and sub-frame in full width.
            const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
            const auto wide = [bytes](size_t at)
            { return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8; };
            const uint32_t backOff = wide(0) | wide(2) << 16;
            if (timecode.FromTimecodeFields(backOff, wide(4), wide(6), wide(8), wide(10), wide(12),
                                            (selector & 0x80) != 0, rate, divisors30And25, message))
                CheckAccepted(timecode);
        }
        break;
    default:
        if (timecode.FromText(text))
        {
            // The numeric form does not validate, but it must write back what it read.
            VTimecode again;
            Check(again.FromText(timecode.ToText()));
            Check(again == timecode);
            Check(!timecode.ToString(true, true).empty());
            if (timecode.IsValid())
                CheckAccepted(timecode);
        }
        break;
    }
    return 0;
}
