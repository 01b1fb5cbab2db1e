#include "errorreporting/VMinidumpWriter.h"

#include "errorreporting/CrashRecord.h"
#include "errorreporting/ProcessMaps.h"
#include "errorreporting/VTracedProcess.h"
#include "FileIO/ByteCodec.h"
#include "FileIO/VMemoryBinaryStream.h"

#include <cpuid.h>
#include <csignal>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

using Minidump::EStream;
using Minidump::VLocation;

namespace
{

constexpr std::uint64_t RedZoneBytes = 128; // below the stack pointer, owned by leaf functions
constexpr std::size_t CopyChunk = 1 << 20;
constexpr std::uint64_t MaxRva = 0xFFFFFFFFull;

/// An ELF module mapped into the process.
struct VModule
{
    std::uint64_t m_Base = 0;
    std::uint64_t m_End = 0;
    std::string m_Path;
    std::vector<std::uint8_t> m_BuildId;
};

Minidump::VSystemInfo ReadSystemInfo(std::string& csdVersion)
{
    Minidump::VSystemInfo info;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) != 0)
    {
        LittleEndian::StoreU32(reinterpret_cast<std::uint8_t*>(info.m_VendorId), ebx);
        LittleEndian::StoreU32(reinterpret_cast<std::uint8_t*>(info.m_VendorId) + 4, edx);
        LittleEndian::StoreU32(reinterpret_cast<std::uint8_t*>(info.m_VendorId) + 8, ecx);
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0)
    {
        info.m_VersionInformation = eax;
        info.m_FeatureInformation = edx;
        unsigned family = (eax >> 8) & 0xF;
        unsigned model = (eax >> 4) & 0xF;
        if (family == 0xF)
            family += (eax >> 20) & 0xFF;
        if (family >= 6)
            model += ((eax >> 16) & 0xF) << 4;
        info.m_ProcessorLevel = static_cast<std::uint16_t>(family);
        info.m_ProcessorRevision = static_cast<std::uint16_t>(model << 8 | (eax & 0xF));
    }
    if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) != 0)
        info.m_AmdExtendedFeatures = ebx;
    info.m_ProcessorCount =
        static_cast<std::uint8_t>(std::clamp<long>(sysconf(_SC_NPROCESSORS_CONF), 1, 255));
    utsname names{};
    if (uname(&names) == 0)
    {
        unsigned major = 0, minor = 0, build = 0;
        std::sscanf(names.release, "%u.%u.%u", &major, &minor, &build);
        info.m_MajorVersion = major;
        info.m_MinorVersion = minor;
        info.m_BuildNumber = build;
        csdVersion = std::string(names.sysname) + " " + names.release + " " + names.version + " " +
                     names.machine;
    }
    return info;
}

/// The GNU build ID of the ELF image mapped at `base`, read from the process; empty when it
/// has none.
std::vector<std::uint8_t> ReadBuildId(const VTracedProcess& process, std::uint64_t base)
{
    constexpr std::uint32_t PtLoad = 1;
    constexpr std::uint32_t PtNote = 4;
    constexpr std::uint32_t NtGnuBuildId = 3;
    constexpr std::size_t MaxHeaders = 128;
    constexpr std::uint64_t MaxNotes = 64 * 1024;

    std::uint8_t header[64];
    if (process.ReadMemory(base, header, sizeof(header)) != sizeof(header) || header[4] != 2)
        return {}; // not a 64-bit ELF image
    const std::uint64_t headerOffset = LittleEndian::LoadU64(header + 32);
    const std::uint16_t entrySize = LittleEndian::LoadU16(header + 54);
    const std::uint16_t entryCount = LittleEndian::LoadU16(header + 56);
    if (entrySize < 56 || entryCount == 0 || entryCount > MaxHeaders)
        return {};
    std::vector<std::uint8_t> headers(static_cast<std::size_t>(entrySize) * entryCount);
    if (process.ReadMemory(base + headerOffset, headers.data(), headers.size()) != headers.size())
        return {};

    std::optional<std::uint64_t> firstLoad;
    for (std::size_t i = 0; i < entryCount; ++i)
    {
        const std::uint8_t* entry = headers.data() + i * entrySize;
        if (LittleEndian::LoadU32(entry) == PtLoad)
            firstLoad = std::min(firstLoad.value_or(~0ull), LittleEndian::LoadU64(entry + 16));
    }
    // Executables that are not position-independent are mapped at their own addresses.
    const std::uint64_t bias = base - (firstLoad.value_or(0) & ~0xFFFull);
    for (std::size_t i = 0; i < entryCount; ++i)
    {
        const std::uint8_t* entry = headers.data() + i * entrySize;
        if (LittleEndian::LoadU32(entry) != PtNote)
            continue;
        const std::uint64_t size = std::min(LittleEndian::LoadU64(entry + 32), MaxNotes);
        std::vector<std::uint8_t> notes(size);
        notes.resize(process.ReadMemory(bias + LittleEndian::LoadU64(entry + 16), notes.data(),
                                        notes.size()));
        for (std::size_t at = 0; at + 12 <= notes.size();)
        {
            const std::uint64_t nameSize = LittleEndian::LoadU32(notes.data() + at);
            const std::uint64_t descSize = LittleEndian::LoadU32(notes.data() + at + 4);
            const std::uint32_t type = LittleEndian::LoadU32(notes.data() + at + 8);
            const std::uint64_t name = at + 12;
            const std::uint64_t desc = name + ((nameSize + 3) & ~3ull);
            const std::uint64_t next = desc + ((descSize + 3) & ~3ull);
            if (next > notes.size())
                break;
            if (type == NtGnuBuildId && nameSize == 4 &&
                std::equal(notes.begin() + static_cast<long>(name),
                           notes.begin() + static_cast<long>(name + 4), "GNU"))
                return {notes.begin() + static_cast<long>(desc),
                        notes.begin() + static_cast<long>(desc + descSize)};
            at = static_cast<std::size_t>(next);
        }
    }
    return {};
}

/// The ELF images in the map: each file mapped from offset 0 that starts with the ELF magic,
/// spanning the run of mappings of the same file that follows.
std::vector<VModule> FindModules(const VTracedProcess& process, const std::vector<VMapping>& maps)
{
    std::vector<VModule> modules;
    for (std::size_t i = 0; i < maps.size(); ++i)
    {
        const VMapping& first = maps[i];
        if (first.m_Offset != 0 || first.m_Inode == 0 || !first.m_Readable ||
            first.m_Path.empty() || first.m_Path[0] != '/')
            continue;
        std::uint8_t magic[4] = {};
        if (process.ReadMemory(first.m_Start, magic, 4) != 4 || magic[0] != 0x7F ||
            magic[1] != 'E' || magic[2] != 'L' || magic[3] != 'F')
            continue;
        VModule module;
        module.m_Base = first.m_Start;
        module.m_End = first.m_End;
        module.m_Path = first.m_Path;
        for (std::size_t j = i + 1;
             j < maps.size() && maps[j].m_Path == first.m_Path && maps[j].m_Inode == first.m_Inode;
             ++j)
            module.m_End = maps[j].m_End;
        module.m_BuildId = ReadBuildId(process, module.m_Base);
        modules.push_back(std::move(module));
    }
    return modules;
}

} // namespace

/// One dump being written: the file cursor and the pieces gathered so far.
class VMinidumpWriter::VImpl
{
public:
    VImpl(const VTracedProcess& process, int fd) : m_Process(process), m_Fd(fd) {}

    bool Write(const VMinidumpContent& content)
    {
        std::optional<VCrashInfo> crash;
        if (content.m_WithException)
        {
            std::vector<std::uint8_t> record(CrashRecordLayout::Total);
            if (m_Process.ReadMemory(content.m_CrashRecordAddress, record.data(), record.size()) !=
                record.size())
                return false;
            crash = DecodeCrashRecord(record);
            if (!crash)
                return false;
        }
        m_Maps = ParseProcessMaps(m_Process.ReadProcFile("maps"));
        // Holes left in the file must read as zeros, whatever it held before.
        if (ftruncate(m_Fd, 0) != 0)
            return false;

        const std::uint32_t streamCount =
            10 + (content.m_WithException ? 1 : 0) + (content.m_FullMemory ? 1 : 0);
        m_End = Minidump::HeaderSize + streamCount * Minidump::DirectoryEntrySize;

        AddSystemInfo();
        AddThreads(content, crash);
        AddModules();
        AddMemoryList();
        if (crash)
            AddException(content, *crash);
        AddFileStream(EStream::LinuxProcStatus, "status");
        AddFileStream(EStream::LinuxCmdLine, "cmdline");
        AddFileStream(EStream::LinuxAuxv, "auxv");
        AddFileStream(EStream::LinuxMaps, "maps");
        AddWideComment(content.m_IncidentId);
        AddNarrowComment(content.m_Comments);
        if (content.m_FullMemory)
            AddFullMemory();

        VMemoryOutputStream head;
        Minidump::EncodeHeader(head, static_cast<std::uint32_t>(m_Directory.size()),
                               Minidump::HeaderSize,
                               static_cast<std::uint32_t>(std::time(nullptr)));
        for (const auto& [type, location] : m_Directory)
            Minidump::EncodeDirectoryEntry(head, type, location);
        return !m_Failed && m_Directory.size() == streamCount && WriteAt(0, head.GetBytes()) &&
               ftruncate(m_Fd, static_cast<off_t>(m_End)) == 0;
    }

private:
    /// Writes bytes at the end of the file (8-byte aligned) and returns where they went.
    VLocation Append(const std::vector<std::uint8_t>& bytes)
    {
        m_End = (m_End + 7) & ~7ull;
        if (m_End + bytes.size() > MaxRva)
        {
            m_Failed = true;
            return {};
        }
        const VLocation location{static_cast<std::uint32_t>(bytes.size()),
                                 static_cast<std::uint32_t>(m_End)};
        if (!WriteAt(m_End, bytes))
            m_Failed = true;
        m_End += bytes.size();
        return location;
    }

    VLocation Append(const VMemoryOutputStream& stream) { return Append(stream.GetBytes()); }

    void AddStream(EStream type, VLocation location) { m_Directory.emplace_back(type, location); }

    bool WriteAt(std::uint64_t offset, const std::vector<std::uint8_t>& bytes)
    {
        return WriteAt(offset, bytes.data(), bytes.size());
    }

    bool WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
    {
        while (size > 0)
        {
            const ssize_t written = pwrite(m_Fd, data, size, static_cast<off_t>(offset));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            data += written;
            offset += static_cast<std::uint64_t>(written);
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    /// Copies process memory into the dump; the location covers what could be read.
    VLocation AppendMemory(std::uint64_t address, std::uint64_t size)
    {
        std::vector<std::uint8_t> bytes(size);
        bytes.resize(m_Process.ReadMemory(address, bytes.data(), bytes.size()));
        return Append(bytes);
    }

    std::uint32_t AppendString(std::string_view text)
    {
        VMemoryOutputStream out;
        Minidump::EncodeString(out, text);
        return Append(out).m_Rva;
    }

    void AddSystemInfo()
    {
        std::string csdVersion;
        const Minidump::VSystemInfo info = ReadSystemInfo(csdVersion);
        const std::uint32_t csdRva = AppendString(csdVersion);
        VMemoryOutputStream out;
        Minidump::EncodeSystemInfo(out, info, csdRva);
        AddStream(EStream::SystemInfo, Append(out));
    }

    void AddThreads(const VMinidumpContent& content, const std::optional<VCrashInfo>& crash)
    {
        VMemoryOutputStream list;
        list.WriteU32(static_cast<std::uint32_t>(m_Process.GetThreads().size()));
        for (const VTracedThread& thread : m_Process.GetThreads())
        {
            VThreadContext context = thread.m_Context;
            if (crash && thread.m_Id == content.m_CrashedThreadId)
            {
                context = crash->m_Context;
                context.m_FsBase = thread.m_Context.m_FsBase;
                m_CrashedContext = context;
            }
            VMemoryOutputStream encoded;
            Minidump::EncodeAmd64Context(encoded, context);
            const VLocation contextLocation = Append(encoded);
            if (crash && thread.m_Id == content.m_CrashedThreadId)
                m_CrashedContextLocation = contextLocation;

            const auto [stackStart, stack] = AddStack(context[EAmd64Register::Rsp]);
            Minidump::EncodeThread(list, thread.m_Id, context.m_FsBase, stackStart, stack,
                                   contextLocation);
        }
        AddStream(EStream::ThreadList, Append(list));
    }

    /// The stack from just below `stackPointer` to the end of its mapping, at most
    /// MaxStackBytes; also listed in the memory list.
    std::pair<std::uint64_t, VLocation> AddStack(std::uint64_t stackPointer)
    {
        const VMapping* mapping = FindMapping(m_Maps, stackPointer);
        if (mapping == nullptr || !mapping->m_Readable)
            return {stackPointer, {}};
        const std::uint64_t start = std::max(mapping->m_Start, stackPointer - RedZoneBytes);
        const std::uint64_t end = std::min(mapping->m_End, start + MaxStackBytes);
        const VLocation location = AppendMemory(start, end - start);
        if (location.m_Size > 0)
            m_Memory.emplace_back(start, location);
        return {start, location};
    }

    void AddModules()
    {
        const std::vector<VModule> modules = FindModules(m_Process, m_Maps);
        std::vector<std::pair<std::uint32_t, VLocation>> names; // name RVA, code-view record
        for (const VModule& module : modules)
        {
            const std::uint32_t nameRva = AppendString(module.m_Path);
            VLocation cv;
            if (!module.m_BuildId.empty())
            {
                VMemoryOutputStream record;
                record.WriteU32(Minidump::CvSignatureElfBuildId);
                record.Write(module.m_BuildId.data(), module.m_BuildId.size());
                cv = Append(record);
            }
            names.emplace_back(nameRva, cv);
        }
        VMemoryOutputStream list;
        list.WriteU32(static_cast<std::uint32_t>(modules.size()));
        for (std::size_t i = 0; i < modules.size(); ++i)
            Minidump::EncodeModule(list, modules[i].m_Base,
                                   static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                       modules[i].m_End - modules[i].m_Base, 0xFFFFFFFFull)),
                                   names[i].first, names[i].second);
        AddStream(EStream::ModuleList, Append(list));
    }

    void AddMemoryList()
    {
        VMemoryOutputStream list;
        list.WriteU32(static_cast<std::uint32_t>(m_Memory.size()));
        for (const auto& [start, location] : m_Memory)
            Minidump::EncodeMemoryDescriptor(list, start, location);
        AddStream(EStream::MemoryList, Append(list));
    }

    void AddException(const VMinidumpContent& content, const VCrashInfo& crash)
    {
        // A fault that the processor reported carries its address; a signal that was sent
        // (abort, kill) carries the sender in those bytes, so the instruction stands there.
        const bool fault =
            crash.m_Code > 0 && (crash.m_Signal == SIGSEGV || crash.m_Signal == SIGBUS ||
                                 crash.m_Signal == SIGILL || crash.m_Signal == SIGFPE);
        VLocation context = m_CrashedContextLocation;
        if (context.m_Size == 0)
        {
            // The named thread is not among those stopped: its context comes from the record.
            VMemoryOutputStream encoded;
            Minidump::EncodeAmd64Context(encoded, crash.m_Context);
            context = Append(encoded);
        }
        VMemoryOutputStream out;
        Minidump::EncodeException(
            out, content.m_CrashedThreadId, static_cast<std::uint32_t>(crash.m_Signal),
            static_cast<std::uint32_t>(crash.m_Code),
            fault ? crash.m_Address : crash.m_Context[EAmd64Register::Rip], context);
        AddStream(EStream::Exception, Append(out));
    }

    void AddFileStream(EStream type, const char* name)
    {
        const std::string text = m_Process.ReadProcFile(name);
        AddStream(type, Append(std::vector<std::uint8_t>(text.begin(), text.end())));
    }

    void AddWideComment(const std::string& text)
    {
        VMemoryOutputStream out;
        for (const char16_t unit : Minidump::ToUtf16(text))
            out.WriteU16(unit);
        out.WriteU16(0);
        AddStream(EStream::CommentW, Append(out));
    }

    void AddNarrowComment(const std::string& text)
    {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        AddStream(EStream::CommentA, Append(bytes));
    }

    /// Every readable mapping: the descriptors first (space kept for all candidates), then
    /// the memory, which may run past 4 GiB, at the very end of the file.
    void AddFullMemory()
    {
        std::vector<const VMapping*> candidates;
        for (const VMapping& mapping : m_Maps)
            if (mapping.m_Readable && mapping.m_Path != "[vvar]" &&
                mapping.m_Path != "[vsyscall]" &&
                mapping.m_End - mapping.m_Start <= MaxFullMemoryMapping)
                candidates.push_back(&mapping);
        m_End = (m_End + 7) & ~7ull;
        const std::uint64_t listRva = m_End;
        const std::uint64_t listSize = 16 + Minidump::Memory64DescriptorSize * candidates.size();
        if (listRva + listSize > MaxRva)
        {
            m_Failed = true;
            return;
        }
        m_End += listSize;
        const std::uint64_t dataRva = m_End;
        VMemoryOutputStream descriptors;
        std::uint64_t count = 0;
        std::vector<std::uint8_t> chunk(CopyChunk);
        for (const VMapping* mapping : candidates)
        {
            std::uint64_t copied = 0;
            for (std::uint64_t at = mapping->m_Start; at < mapping->m_End; at += chunk.size())
            {
                const std::size_t want = static_cast<std::size_t>(
                    std::min<std::uint64_t>(chunk.size(), mapping->m_End - at));
                // Anonymous memory that was never written is not even read: reading would
                // make the process map it.
                const bool untouched = mapping->m_Inode == 0 && !m_Process.HasPagesIn(at, want);
                const std::size_t got =
                    untouched ? want : m_Process.ReadMemory(at, chunk.data(), want);
                // Memory that reads as zeros is left as a hole of the file, which reads back
                // as zeros too, instead of being written out.
                const bool zeros =
                    untouched || (got > 0 && chunk[0] == 0 &&
                                  std::memcmp(chunk.data(), chunk.data() + 1, got - 1) == 0);
                if (got > 0 && !zeros && !WriteAt(m_End, chunk.data(), got))
                    m_Failed = true;
                m_End += got;
                copied += got;
                if (got < want)
                    break;
            }
            if (copied == 0)
                continue;
            descriptors.WriteU64(mapping->m_Start);
            descriptors.WriteU64(copied);
            ++count;
        }
        VMemoryOutputStream head;
        head.WriteU64(count);
        head.WriteU64(dataRva);
        const std::vector<std::uint8_t>& list = descriptors.GetBytes();
        head.Write(list.data(), list.size());
        if (!WriteAt(listRva, head.GetBytes()))
            m_Failed = true;
        AddStream(EStream::Memory64List, {static_cast<std::uint32_t>(head.GetBytes().size()),
                                          static_cast<std::uint32_t>(listRva)});
    }

    const VTracedProcess& m_Process;
    int m_Fd;
    std::uint64_t m_End = 0;
    bool m_Failed = false;
    std::vector<VMapping> m_Maps;
    std::vector<std::pair<EStream, VLocation>> m_Directory;
    std::vector<std::pair<std::uint64_t, VLocation>> m_Memory; // stacks, for the memory list
    VThreadContext m_CrashedContext;
    VLocation m_CrashedContextLocation;
};

VMinidumpWriter::VMinidumpWriter(const VTracedProcess& process, int fd)
    : m_Process(process), m_Fd(fd)
{
}

bool VMinidumpWriter::Write(const VMinidumpContent& content)
{
    VImpl impl(m_Process, m_Fd);
    return impl.Write(content);
}
