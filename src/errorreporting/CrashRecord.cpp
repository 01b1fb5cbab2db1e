#include "errorreporting/CrashRecord.h"

#include "FileIO/ByteCodec.h"

#include <sys/ucontext.h>

#include <algorithm>

namespace
{

std::uint64_t GeneralRegister(std::span<const std::uint8_t> bytes, int index)
{
    return LittleEndian::LoadU64(bytes.data() + CrashRecordLayout::GeneralRegisters +
                                 8 * static_cast<std::size_t>(index));
}

} // namespace

std::optional<VCrashInfo> DecodeCrashRecord(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < CrashRecordLayout::Total)
        return std::nullopt;
    const std::uint8_t* data = bytes.data();
    if (LittleEndian::LoadU32(data + CrashRecordLayout::Magic) != VCrashRecord::MagicValue ||
        LittleEndian::LoadU32(data + CrashRecordLayout::Size) != CrashRecordLayout::Total)
        return std::nullopt;

    VCrashInfo info;
    info.m_ThreadId = LittleEndian::LoadU32(data + CrashRecordLayout::ThreadId);
    info.m_Signal = LittleEndian::LoadI32(data + CrashRecordLayout::Signal);
    info.m_Code = LittleEndian::LoadI32(data + CrashRecordLayout::Code);
    info.m_Errno = LittleEndian::LoadI32(data + CrashRecordLayout::Errno);
    info.m_Address = LittleEndian::LoadU64(data + CrashRecordLayout::Address);
    if (info.m_Signal <= 0 || info.m_Signal >= 65)
        return std::nullopt;

    VThreadContext& context = info.m_Context;
    static constexpr std::pair<EAmd64Register, int> kRegisters[] = {
        {EAmd64Register::Rax, REG_RAX}, {EAmd64Register::Rcx, REG_RCX},
        {EAmd64Register::Rdx, REG_RDX}, {EAmd64Register::Rbx, REG_RBX},
        {EAmd64Register::Rsp, REG_RSP}, {EAmd64Register::Rbp, REG_RBP},
        {EAmd64Register::Rsi, REG_RSI}, {EAmd64Register::Rdi, REG_RDI},
        {EAmd64Register::R8, REG_R8},   {EAmd64Register::R9, REG_R9},
        {EAmd64Register::R10, REG_R10}, {EAmd64Register::R11, REG_R11},
        {EAmd64Register::R12, REG_R12}, {EAmd64Register::R13, REG_R13},
        {EAmd64Register::R14, REG_R14}, {EAmd64Register::R15, REG_R15},
        {EAmd64Register::Rip, REG_RIP}};
    for (const auto& [reg, index] : kRegisters)
        context[reg] = GeneralRegister(bytes, index);
    context.m_EFlags = static_cast<std::uint32_t>(GeneralRegister(bytes, REG_EFL));
    // cs, gs, fs and ss packed in 16-bit fields, lowest first.
    const std::uint64_t segments = GeneralRegister(bytes, REG_CSGSFS);
    context.m_Cs = static_cast<std::uint16_t>(segments);
    context.m_Gs = static_cast<std::uint16_t>(segments >> 16);
    context.m_Fs = static_cast<std::uint16_t>(segments >> 32);
    context.m_Ss = static_cast<std::uint16_t>(segments >> 48);
    context.m_HasFloatState = LittleEndian::LoadU32(data + CrashRecordLayout::HasFloatState) == 1;
    if (context.m_HasFloatState)
        std::copy_n(data + CrashRecordLayout::FloatState, VCrashRecord::FloatStateSize,
                    context.m_FloatState.begin());
    return info;
}
