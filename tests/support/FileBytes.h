// Whole files as bytes or text, for tests that write, damage and read back files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport
{

/// The bytes of the file at `path`; empty when it cannot be read.
std::vector<std::uint8_t> ReadBytes(const std::string& path);

/// The text of the file at `path`; empty when it cannot be read.
std::string ReadText(const std::string& path);

/// Replaces the file at `path` with `bytes`.
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

/// Overwrites `width` bytes at `position` of the file with `value`, little-endian. Fails the
/// test when the file is shorter.
void PatchFile(const std::string& path, std::uint64_t position, std::uint64_t value,
               std::size_t width);

} // namespace testsupport
