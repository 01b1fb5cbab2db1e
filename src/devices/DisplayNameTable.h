// The names under which the camera models are shown to the host, for the device
// types whose label is not shown as it is.
#pragma once

#include <string>
#include <string_view>

/// The process-wide, unchanging map from device-type label to display name:
/// "CellA" and "CellB" show as "ZT Cell A", "CellC" and "CellD" as "ZT Cell C",
/// "CellE" and "CellF" as "ZT Cell E", "CellG" as "ZT Cell G", and the WREN types
/// by their product names. Every other label is its own display name.
///
/// A constant built before the program runs; safe on any thread without a lock.
/// Looking up a label never adds it.
class DisplayNameTable
{
public:
    DisplayNameTable() = delete;

    /// The display name of `deviceType`: the mapped name, or the label itself.
    static std::string GetDisplayName(std::string_view deviceType);
};
