// The analogue source sets that an X1D file describes in its header: one record per source
// set with its values, texts and the list of its sources.
#pragma once

#include "params/IString.h"

#include <cstdint>
#include <vector>

/// One analogue source: the u32 value of key 0xAA05 (0 when the record lacks it).
struct VAnalogueSourceSpec
{
    static constexpr std::uint16_t kKeyValue = 0xAA05;

    std::uint32_t Value = 0;

    bool operator==(const VAnalogueSourceSpec&) const = default;
};

/// One analogue source set. The reader carries the values; the X1D-driven sync unit gives
/// them their meaning. A value type.
struct VAnalogueSourceSetSpec
{
    static constexpr std::uint16_t kKeyValue = 0xAA00;
    static constexpr std::uint16_t kKeySecondText = 0xAA01;
    static constexpr std::uint16_t kKeyFirstText = 0xAA02;
    static constexpr std::uint16_t kKeySources = 0xAA03;
    static constexpr std::uint16_t kKeyRealA = 0xAA50;
    static constexpr std::uint16_t kKeyRealB = 0xAA51;
    static constexpr std::uint16_t kKeyRealC = 0xAA52;

    /// Key 0xAA00.
    std::uint32_t Value = 0;
    /// Key 0xAA02.
    VStringStd FirstText;
    /// Key 0xAA01.
    VStringStd SecondText;
    /// Keys 0xAA50, 0xAA51 and 0xAA52, in this order.
    double Reals[3] = {0.0, 0.0, 0.0};
    /// Key 0xAA03; empty when the record lacks it.
    std::vector<VAnalogueSourceSpec> Sources;

    bool operator==(const VAnalogueSourceSetSpec& other) const
    {
        return Value == other.Value && FirstText == other.FirstText &&
               SecondText == other.SecondText && Reals[0] == other.Reals[0] &&
               Reals[1] == other.Reals[1] && Reals[2] == other.Reals[2] && Sources == other.Sources;
    }
};
