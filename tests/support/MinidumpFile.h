// Reads back the streams of a minidump file, for checks that the debuggers do not make.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport
{

/// The streams of one minidump, in directory order. Test thread only.
class VMinidumpFile
{
public:
    /// Reads the file; IsValid() tells whether its header and directory made sense.
    explicit VMinidumpFile(const std::string& path);

    bool IsValid() const { return m_Valid; }
    const std::vector<std::uint8_t>& GetBytes() const { return m_Bytes; }
    /// Stream types in directory order.
    std::vector<std::uint32_t> GetTypes() const;
    /// The bytes of the first stream of `type`; empty when there is none.
    std::vector<std::uint8_t> GetStream(std::uint32_t type) const;
    /// The UTF-16 units of a wide comment stream, terminator included.
    static std::u16string AsUtf16(const std::vector<std::uint8_t>& bytes);
    /// Whether `text` occurs anywhere in the file.
    bool Contains(const std::string& text) const;

private:
    std::vector<std::uint8_t> m_Bytes;
    std::vector<std::pair<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>>> m_Directory;
    bool m_Valid = false;
};

/// Runs obj2yaml-14 on a dump: the stream types it lists (its "- Type:" lines), and its exit
/// code and error output through the two pointers when given.
std::vector<std::string> Obj2YamlStreamTypes(const std::string& path, int* exitCode = nullptr,
                                             std::string* errors = nullptr);

} // namespace testsupport
