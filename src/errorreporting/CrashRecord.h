// The crash record: what the crash hand-off of a crashed program leaves in its own memory for
// the error reporter, which reads it at the address given on the reporter's command line.
#pragma once

#include "errorreporting/ThreadContext.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

/// The record itself, a static object of the crashed program. Its signal handler fills it once,
/// field by field (plain fixed-width fields, so filling it is safe in signal context); the
/// reporter copies its bytes out of the stopped process and decodes them with
/// DecodeCrashRecord, never by casting. Both programs come from one build, so m_Size tells a
/// reporter that meets a record of another layout.
struct VCrashRecord
{
    static constexpr std::uint32_t MagicValue = 0x434D5354; // "TSMC" in memory
    /// Linux x86-64 general registers, in the order of the REG_ indices of <sys/ucontext.h>.
    static constexpr std::size_t GeneralRegisterCount = 23;
    /// The FXSAVE area that the kernel saves for the signal.
    static constexpr std::size_t FloatStateSize = 512;

    std::uint32_t m_Magic;    // MagicValue once the record is complete
    std::uint32_t m_Size;     // sizeof(VCrashRecord)
    std::uint32_t m_ThreadId; // the crashed thread's system id
    std::int32_t m_Signal;    // si_signo
    std::int32_t m_Code;      // si_code
    std::int32_t m_Errno;     // si_errno
    std::uint64_t m_Address;  // si_addr
    std::uint64_t m_GeneralRegisters[GeneralRegisterCount];
    std::uint32_t m_HasFloatState; // 1 when m_FloatState holds the thread's FXSAVE area
    std::uint32_t m_Reserved;
    std::uint8_t m_FloatState[FloatStateSize];
};

/// Byte offsets of the fields, which the decoder reads through the little-endian codec.
namespace CrashRecordLayout
{
constexpr std::size_t Magic = 0;
constexpr std::size_t Size = 4;
constexpr std::size_t ThreadId = 8;
constexpr std::size_t Signal = 12;
constexpr std::size_t Code = 16;
constexpr std::size_t Errno = 20;
constexpr std::size_t Address = 24;
constexpr std::size_t GeneralRegisters = 32;
constexpr std::size_t HasFloatState = GeneralRegisters + 8 * VCrashRecord::GeneralRegisterCount;
constexpr std::size_t FloatState = HasFloatState + 8;
constexpr std::size_t Total = FloatState + VCrashRecord::FloatStateSize;
} // namespace CrashRecordLayout

static_assert(offsetof(VCrashRecord, m_Size) == CrashRecordLayout::Size);
static_assert(offsetof(VCrashRecord, m_ThreadId) == CrashRecordLayout::ThreadId);
static_assert(offsetof(VCrashRecord, m_Signal) == CrashRecordLayout::Signal);
static_assert(offsetof(VCrashRecord, m_Code) == CrashRecordLayout::Code);
static_assert(offsetof(VCrashRecord, m_Errno) == CrashRecordLayout::Errno);
static_assert(offsetof(VCrashRecord, m_Address) == CrashRecordLayout::Address);
static_assert(offsetof(VCrashRecord, m_GeneralRegisters) == CrashRecordLayout::GeneralRegisters);
static_assert(offsetof(VCrashRecord, m_HasFloatState) == CrashRecordLayout::HasFloatState);
static_assert(offsetof(VCrashRecord, m_FloatState) == CrashRecordLayout::FloatState);
static_assert(sizeof(VCrashRecord) == CrashRecordLayout::Total);

/// What a crash record says, decoded.
struct VCrashInfo
{
    std::uint32_t m_ThreadId = 0;
    std::int32_t m_Signal = 0;
    std::int32_t m_Code = 0;
    std::int32_t m_Errno = 0;
    std::uint64_t m_Address = 0;
    VThreadContext m_Context; // the registers at the fault
};

/// Decodes the bytes of a VCrashRecord. Empty when there are too few bytes, the magic or size
/// is wrong, or the signal number is not a signal.
std::optional<VCrashInfo> DecodeCrashRecord(std::span<const std::uint8_t> bytes);
