// Reads back the streams of a minidump file, for checks that the debuggers do not make.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport
{

/// The streams of one minidump, in directory order, and the process memory it holds. The file
/// is mapped, not read, so that a large sparse full-memory dump costs nothing until looked at.
/// Test thread only; not copyable.
class VMinidumpFile
{
public:
    /// Maps the file; IsValid() tells whether its header and directory made sense.
    explicit VMinidumpFile(const std::string& path);
    ~VMinidumpFile();
    VMinidumpFile(const VMinidumpFile&) = delete;
    VMinidumpFile& operator=(const VMinidumpFile&) = delete;

    bool IsValid() const { return m_Valid; }
    std::size_t GetSize() const { return m_Size; }
    /// Stream types in directory order.
    std::vector<std::uint32_t> GetTypes() const;
    /// The bytes of the first stream of `type`; empty when there is none.
    std::vector<std::uint8_t> GetStream(std::uint32_t type) const;
    /// The UTF-16 units of a wide comment stream, terminator included.
    static std::u16string AsUtf16(const std::vector<std::uint8_t>& bytes);
    /// Whether `text` occurs anywhere in the file.
    bool Contains(const std::string& text) const;
    /// The `size` bytes of the dumped process at `address`, from the memory list or the 64-bit
    /// memory list; empty when the dump does not hold all of them.
    std::optional<std::vector<std::uint8_t>> ReadMemory(std::uint64_t address,
                                                        std::size_t size) const;

private:
    const std::uint8_t* m_Bytes = nullptr; // the mapped file, m_Size bytes
    std::size_t m_Size = 0;
    std::vector<std::pair<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>>> m_Directory;
    bool m_Valid = false;
};

/// Runs obj2yaml-14 on a dump: the stream types it lists (its "- Type:" lines), and its exit
/// code and error output through the two pointers when given.
std::vector<std::string> Obj2YamlStreamTypes(const std::string& path, int* exitCode = nullptr,
                                             std::string* errors = nullptr);

} // namespace testsupport
