// The minidump file format (the standard MDMP layout that debuggers read): stream numbers,
// record sizes and one encoder per record, little-endian through the project's codec.
#pragma once

#include "errorreporting/ThreadContext.h"

#include <cstdint>
#include <string>
#include <string_view>

class IBinaryOutputStream;

namespace Minidump
{

constexpr std::uint32_t Signature = 0x504D444D; // "MDMP"
constexpr std::uint32_t Version = 0xA793;

/// Stream numbers of the directory.
enum class EStream : std::uint32_t
{
    ThreadList = 3,
    ModuleList = 4,
    MemoryList = 5,
    Exception = 6,
    SystemInfo = 7,
    Memory64List = 9,
    CommentA = 10, // 8-bit text
    CommentW = 11, // UTF-16 text
    LinuxProcStatus = 0x47670004,
    LinuxCmdLine = 0x47670006,
    LinuxAuxv = 0x47670008,
    LinuxMaps = 0x47670009,
};

constexpr std::uint32_t HeaderSize = 32;
constexpr std::uint32_t DirectoryEntrySize = 12;
constexpr std::uint32_t SystemInfoSize = 56;
constexpr std::uint32_t ThreadSize = 48;
constexpr std::uint32_t ModuleSize = 108;
constexpr std::uint32_t MemoryDescriptorSize = 16;
constexpr std::uint32_t Memory64DescriptorSize = 16;
constexpr std::uint32_t ExceptionStreamSize = 168;
constexpr std::uint32_t Amd64ContextSize = 1232;

constexpr std::uint16_t ProcessorArchitectureAmd64 = 9;
constexpr std::uint32_t PlatformLinux = 0x8201;
/// Code-view record signature of an ELF build ID ("BpEL").
constexpr std::uint32_t CvSignatureElfBuildId = 0x4270454C;
/// AMD64 context with control, integer, segment and floating-point registers.
constexpr std::uint32_t Amd64ContextFlags = 0x0010000F;

/// Where a blob lies in the file.
struct VLocation
{
    std::uint32_t m_Size = 0;
    std::uint32_t m_Rva = 0;
};

void EncodeHeader(IBinaryOutputStream& out, std::uint32_t streamCount, std::uint32_t directoryRva,
                  std::uint32_t timeStamp);
void EncodeDirectoryEntry(IBinaryOutputStream& out, EStream type, VLocation location);
void EncodeLocation(IBinaryOutputStream& out, VLocation location);
void EncodeMemoryDescriptor(IBinaryOutputStream& out, std::uint64_t start, VLocation memory);

/// A counted UTF-16 string: byte length without the terminator, the text, a 16-bit zero.
/// `utf8` is converted; invalid sequences become U+FFFD.
void EncodeString(IBinaryOutputStream& out, std::string_view utf8);
/// `utf8` as UTF-16 code units (no terminator); invalid sequences become U+FFFD.
std::u16string ToUtf16(std::string_view utf8);

/// The processor and system of this machine.
struct VSystemInfo
{
    std::uint16_t m_ProcessorLevel = 0;    // CPU family
    std::uint16_t m_ProcessorRevision = 0; // model << 8 | stepping
    std::uint8_t m_ProcessorCount = 0;
    std::uint32_t m_MajorVersion = 0; // kernel release, e.g. 6.1.0
    std::uint32_t m_MinorVersion = 0;
    std::uint32_t m_BuildNumber = 0;
    char m_VendorId[12] = {};
    std::uint32_t m_VersionInformation = 0; // cpuid 1: eax
    std::uint32_t m_FeatureInformation = 0; // cpuid 1: edx
    std::uint32_t m_AmdExtendedFeatures = 0;
};
/// The system information record; `csdVersionRva` locates a counted string (the kernel).
void EncodeSystemInfo(IBinaryOutputStream& out, const VSystemInfo& info,
                      std::uint32_t csdVersionRva);

/// One entry of the thread list.
void EncodeThread(IBinaryOutputStream& out, std::uint32_t threadId, std::uint64_t environmentBlock,
                  std::uint64_t stackStart, VLocation stack, VLocation context);

/// One entry of the module list; `cvRecord` locates the code-view record (may be empty).
void EncodeModule(IBinaryOutputStream& out, std::uint64_t base, std::uint32_t size,
                  std::uint32_t nameRva, VLocation cvRecord);

/// The exception stream of a Linux process: the signal as the exception code, si_code as its
/// flags, the fault address.
void EncodeException(IBinaryOutputStream& out, std::uint32_t threadId, std::uint32_t signal,
                     std::uint32_t code, std::uint64_t address, VLocation context);

/// The AMD64 thread context record (Amd64ContextSize bytes).
void EncodeAmd64Context(IBinaryOutputStream& out, const VThreadContext& context);

} // namespace Minidump
