#include "errorreporting/MinidumpFormat.h"

#include "FileIO/IBinaryStream.h"

#include <QString>

namespace Minidump
{

void EncodeHeader(IBinaryOutputStream& out, std::uint32_t streamCount, std::uint32_t directoryRva,
                  std::uint32_t timeStamp)
{
    out.WriteU32(Signature);
    out.WriteU32(Version);
    out.WriteU32(streamCount);
    out.WriteU32(directoryRva);
    out.WriteU32(0); // checksum
    out.WriteU32(timeStamp);
    out.WriteU64(0); // flags
}

void EncodeLocation(IBinaryOutputStream& out, VLocation location)
{
    out.WriteU32(location.m_Size);
    out.WriteU32(location.m_Rva);
}

void EncodeDirectoryEntry(IBinaryOutputStream& out, EStream type, VLocation location)
{
    out.WriteU32(static_cast<std::uint32_t>(type));
    EncodeLocation(out, location);
}

void EncodeMemoryDescriptor(IBinaryOutputStream& out, std::uint64_t start, VLocation memory)
{
    out.WriteU64(start);
    EncodeLocation(out, memory);
}

std::u16string ToUtf16(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU16String();
}

void EncodeString(IBinaryOutputStream& out, std::string_view utf8)
{
    const std::u16string text = ToUtf16(utf8);
    out.WriteU32(static_cast<std::uint32_t>(text.size() * 2));
    for (const char16_t unit : text)
        out.WriteU16(unit);
    out.WriteU16(0);
}

void EncodeSystemInfo(IBinaryOutputStream& out, const VSystemInfo& info,
                      std::uint32_t csdVersionRva)
{
    out.WriteU16(ProcessorArchitectureAmd64);
    out.WriteU16(info.m_ProcessorLevel);
    out.WriteU16(info.m_ProcessorRevision);
    out.WriteU8(info.m_ProcessorCount);
    out.WriteU8(0); // product type
    out.WriteU32(info.m_MajorVersion);
    out.WriteU32(info.m_MinorVersion);
    out.WriteU32(info.m_BuildNumber);
    out.WriteU32(PlatformLinux);
    out.WriteU32(csdVersionRva);
    out.WriteU16(0); // suite mask
    out.WriteU16(0);
    out.Write(info.m_VendorId, sizeof(info.m_VendorId));
    out.WriteU32(info.m_VersionInformation);
    out.WriteU32(info.m_FeatureInformation);
    out.WriteU32(info.m_AmdExtendedFeatures);
}

void EncodeThread(IBinaryOutputStream& out, std::uint32_t threadId, std::uint64_t environmentBlock,
                  std::uint64_t stackStart, VLocation stack, VLocation context)
{
    out.WriteU32(threadId);
    out.WriteU32(0); // suspend count
    out.WriteU32(0); // priority class
    out.WriteU32(0); // priority
    out.WriteU64(environmentBlock);
    EncodeMemoryDescriptor(out, stackStart, stack);
    EncodeLocation(out, context);
}

void EncodeModule(IBinaryOutputStream& out, std::uint64_t base, std::uint32_t size,
                  std::uint32_t nameRva, VLocation cvRecord)
{
    out.WriteU64(base);
    out.WriteU32(size);
    out.WriteU32(0); // checksum
    out.WriteU32(0); // time stamp
    out.WriteU32(nameRva);
    out.WriteZeros(52); // version information: none on Linux
    EncodeLocation(out, cvRecord);
    EncodeLocation(out, {}); // misc record
    out.WriteU64(0);
    out.WriteU64(0);
}

void EncodeException(IBinaryOutputStream& out, std::uint32_t threadId, std::uint32_t signal,
                     std::uint32_t code, std::uint64_t address, VLocation context)
{
    out.WriteU32(threadId);
    out.WriteU32(0); // alignment
    out.WriteU32(signal);
    out.WriteU32(code);
    out.WriteU64(0); // nested exception record
    out.WriteU64(address);
    out.WriteU32(0); // parameter count
    out.WriteU32(0);
    out.WriteZeros(15 * 8);
    EncodeLocation(out, context);
}

void EncodeAmd64Context(IBinaryOutputStream& out, const VThreadContext& context)
{
    out.WriteZeros(6 * 8); // parameter home addresses
    out.WriteU32(Amd64ContextFlags);
    // MXCSR lies at byte 24 of the FXSAVE area.
    const auto& fx = context.m_FloatState;
    out.WriteU32(context.m_HasFloatState
                     ? static_cast<std::uint32_t>(fx[24]) | fx[25] << 8 | fx[26] << 16 |
                           static_cast<std::uint32_t>(fx[27]) << 24
                     : 0x1F80);
    out.WriteU16(context.m_Cs);
    out.WriteU16(context.m_Ds);
    out.WriteU16(context.m_Es);
    out.WriteU16(context.m_Fs);
    out.WriteU16(context.m_Gs);
    out.WriteU16(context.m_Ss);
    out.WriteU32(context.m_EFlags);
    out.WriteZeros(6 * 8); // debug registers
    for (const std::uint64_t value : context.m_Registers)
        out.WriteU64(value); // rax .. r15, then rip
    if (context.m_HasFloatState)
        out.Write(fx.data(), fx.size());
    else
        out.WriteZeros(fx.size());
    out.WriteZeros(26 * 16); // vector registers
    out.WriteZeros(6 * 8);   // vector and debug control, last branch and exception addresses
}

} // namespace Minidump
