#include "support/MinidumpFile.h"

#include "FileIO/ByteCodec.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <string.h>
#include <sys/wait.h>

namespace testsupport
{

VMinidumpFile::VMinidumpFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    m_Bytes.resize(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(m_Bytes.data()), static_cast<std::streamsize>(m_Bytes.size()));
    if (m_Bytes.size() < 32 || LittleEndian::LoadU32(m_Bytes.data()) != 0x504D444D)
        return;
    const std::uint32_t count = LittleEndian::LoadU32(m_Bytes.data() + 8);
    const std::uint32_t directory = LittleEndian::LoadU32(m_Bytes.data() + 12);
    if (directory + 12ull * count > m_Bytes.size())
        return;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const std::uint8_t* entry = m_Bytes.data() + directory + 12 * i;
        const std::uint32_t size = LittleEndian::LoadU32(entry + 4);
        const std::uint32_t rva = LittleEndian::LoadU32(entry + 8);
        if (static_cast<std::uint64_t>(rva) + size > m_Bytes.size())
            return;
        m_Directory.push_back({LittleEndian::LoadU32(entry), {rva, size}});
    }
    m_Valid = true;
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
            return {m_Bytes.begin() + location.first,
                    m_Bytes.begin() + location.first + location.second};
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
    return memmem(m_Bytes.data(), m_Bytes.size(), text.data(), text.size()) != nullptr;
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
