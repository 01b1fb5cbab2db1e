#include "support/FileBytes.h"

#include "FileIO/ByteCodec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace testsupport
{

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void PatchFile(const std::string& path, std::uint64_t position, std::uint64_t value,
               std::size_t width)
{
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    ASSERT_LE(position + width, bytes.size()) << "patch beyond the end of " << path;
    LittleEndian::StoreUnsigned(bytes.data() + position, value, width);
    WriteBytes(path, bytes);
}

} // namespace testsupport
