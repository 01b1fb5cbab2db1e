#include "support/MinidumpFile.h"

#include "FileIO/ByteCodec.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string.h>
#include <sys/wait.h>

namespace testsupport
{

VMinidumpFile::VMinidumpFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info
    {
    };
    if (fd < 0 || fstat(fd, &info) != 0 || info.st_size < 32)
    {
        if (fd >= 0)
            close(fd);
        return;
    }
    void* mapping =
        mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (mapping == MAP_FAILED)
        return;
    m_Bytes = static_cast<const std::uint8_t*>(mapping);
    m_Size = static_cast<std::size_t>(info.st_size);
    if (LittleEndian::LoadU32(m_Bytes) != 0x504D444D)
        return;
    const std::uint32_t count = LittleEndian::LoadU32(m_Bytes + 8);
    const std::uint32_t directory = LittleEndian::LoadU32(m_Bytes + 12);
    if (directory + 12ull * count > m_Size)
        return;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const std::uint8_t* entry = m_Bytes + directory + 12 * i;
        const std::uint32_t size = LittleEndian::LoadU32(entry + 4);
        const std::uint32_t rva = LittleEndian::LoadU32(entry + 8);
        if (static_cast<std::uint64_t>(rva) + size > m_Size)
            return;
        m_Directory.push_back({LittleEndian::LoadU32(entry), {rva, size}});
    }
    m_Valid = true;
}

VMinidumpFile::~VMinidumpFile()
{
    if (m_Bytes != nullptr)
        munmap(const_cast<std::uint8_t*>(m_Bytes), m_Size);
}

std::vector<std::uint32_t> VMinidumpFile::GetTypes() const
{
    std::vector<std::uint32_t> types;
    for (const auto& entry : m_Directory)
        types.push_back(entry.first);
    return types;
}

std::vector<std::uint8_t> VMinidumpFile::GetStream(std::uint32_t type) const
{
    for (const auto& [streamType, location] : m_Directory)
        if (streamType == type)
            return {m_Bytes + location.first, m_Bytes + location.first + location.second};
    return {};
}

std::u16string VMinidumpFile::AsUtf16(const std::vector<std::uint8_t>& bytes)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(LittleEndian::LoadU16(bytes.data() + i)));
    return text;
}

bool VMinidumpFile::Contains(const std::string& text) const
{
    return m_Bytes != nullptr && memmem(m_Bytes, m_Size, text.data(), text.size()) != nullptr;
}

std::optional<std::vector<std::uint8_t>> VMinidumpFile::ReadMemory(std::uint64_t address,
                                                                   std::size_t size) const
{
    const auto take = [&](std::uint64_t start, std::uint64_t length,
                          std::uint64_t offset) -> std::optional<std::vector<std::uint8_t>>
    {
        if (address < start || address + size > start + length || offset + length > m_Size)
            return std::nullopt;
        const std::uint8_t* from = m_Bytes + offset + (address - start);
        return std::vector<std::uint8_t>(from, from + size);
    };
    const std::vector<std::uint8_t> list = GetStream(5);
    for (std::size_t at = 4; list.size() >= 4 && at + 16 <= list.size(); at += 16)
        if (auto bytes = take(LittleEndian::LoadU64(list.data() + at),
                              LittleEndian::LoadU32(list.data() + at + 8),
                              LittleEndian::LoadU32(list.data() + at + 12)))
            return bytes;
    const std::vector<std::uint8_t> list64 = GetStream(9);
    if (list64.size() < 16)
        return std::nullopt;
    std::uint64_t offset = LittleEndian::LoadU64(list64.data() + 8);
    for (std::size_t at = 16; at + 16 <= list64.size(); at += 16)
    {
        const std::uint64_t length = LittleEndian::LoadU64(list64.data() + at + 8);
        if (auto bytes = take(LittleEndian::LoadU64(list64.data() + at), length, offset))
            return bytes;
        offset += length;
    }
    return std::nullopt;
}

std::vector<std::string> Obj2YamlStreamTypes(const std::string& path, int* exitCode,
                                             std::string* errors)
{
    const std::string command = "obj2yaml-14 '" + path + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    if (pipe != nullptr)
    {
        std::array<char, 4096> buffer{};
        size_t got = 0;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            output.append(buffer.data(), got);
    }
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    if (exitCode != nullptr)
        *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::vector<std::string> types;
    const std::string key = "- Type:";
    for (std::size_t at = output.find(key); at != std::string::npos; at = output.find(key, at + 1))
    {
        std::size_t begin = output.find_first_not_of(' ', at + key.size());
        std::size_t end = output.find('\n', begin);
        types.push_back(output.substr(begin, end - begin));
    }
    if (errors != nullptr)
        *errors = types.empty() ? output : std::string();
    return types;
}

} // namespace testsupport
