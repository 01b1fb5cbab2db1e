// The register state of one thread of a crashed x86-64 process, as the minidump records it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

/// General registers in the order in which the AMD64 minidump context stores them.
enum class EAmd64Register : std::size_t
{
    Rax,
    Rcx,
    Rdx,
    Rbx,
    Rsp,
    Rbp,
    Rsi,
    Rdi,
    R8,
    R9,
    R10,
    R11,
    R12,
    R13,
    R14,
    R15,
    Rip,
    Count
};

/// One thread's registers, gathered from ptrace or from a crash record. A plain value.
struct VThreadContext
{
    static constexpr std::size_t FloatStateSize = 512; // FXSAVE layout

    std::array<std::uint64_t, static_cast<std::size_t>(EAmd64Register::Count)> m_Registers{};
    std::uint32_t m_EFlags = 0;
    std::uint16_t m_Cs = 0;
    std::uint16_t m_Ds = 0;
    std::uint16_t m_Es = 0;
    std::uint16_t m_Fs = 0;
    std::uint16_t m_Gs = 0;
    std::uint16_t m_Ss = 0;
    std::uint64_t m_FsBase = 0; // the thread pointer; the minidump's environment block
    bool m_HasFloatState = false;
    std::array<std::uint8_t, FloatStateSize> m_FloatState{};

    std::uint64_t& operator[](EAmd64Register reg)
    {
        return m_Registers[static_cast<std::size_t>(reg)];
    }
    std::uint64_t operator[](EAmd64Register reg) const
    {
        return m_Registers[static_cast<std::size_t>(reg)];
    }
};
