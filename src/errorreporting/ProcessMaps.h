// The memory map of a process as /proc/<pid>/maps lists it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// One line of the map.
struct VMapping
{
    std::uint64_t m_Start = 0;
    std::uint64_t m_End = 0; // one past the last byte
    std::uint64_t m_Offset = 0;
    std::uint64_t m_Inode = 0;
    bool m_Readable = false;
    bool m_Writable = false;
    bool m_Executable = false;
    std::string m_Path; // empty for anonymous memory; "[stack]", "[vdso]"... for the kernel's

    bool Contains(std::uint64_t address) const { return address >= m_Start && address < m_End; }
};

/// Parses the text of a maps file. Lines that do not parse are skipped.
std::vector<VMapping> ParseProcessMaps(std::string_view text);

/// The mapping that holds `address`, or null.
const VMapping* FindMapping(const std::vector<VMapping>& maps, std::uint64_t address);
