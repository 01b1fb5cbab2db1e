#include "tsmhost/BroadcastCommandLine.h"

#include "tsmhost/BroadcastEncoder.h"

#include <charconv>
#include <optional>

namespace
{

constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFFu;
constexpr uint32_t kLoopbackHost = 0x7F000001u;

/// The options given after the command name, as read so far.
struct VOptionValues
{
    std::optional<uint32_t> m_Device;
    std::optional<uint32_t> m_Frame;
    std::optional<VBroadcastFrameRate> m_Rate;
    std::optional<uint32_t> m_Flags;
    std::optional<uint32_t> m_Type;
    std::optional<bool> m_PreviewOn;
    bool m_Surrogate = false;
    std::vector<uint32_t> m_RawWords;
};

/// The options a command needs; each must be given.
enum ENeeds : unsigned
{
    kNeedsDevice = 1u << 0,
    kNeedsFrame = 1u << 1,
    kNeedsRate = 1u << 2,
    kNeedsFlags = 1u << 3,
    kNeedsType = 1u << 4,
    kNeedsPreviewState = 1u << 5,
    kNeedsRawWords = 1u << 6,
};

struct VCommand
{
    const char* m_CommandLineName;
    const char* m_LogName;
    unsigned m_Needs;
    /// Builds the words; runs only when every needed option is present.
    std::vector<uint32_t> (*m_Build)(const VOptionValues&);
};

using O = VOptionValues;
const VCommand kCommands[] = {
    {"sync", "BROADCAST_CMD_SYNC", kNeedsFrame, [](const O& o) { return SyncWords(*o.m_Frame); }},
    {"reset", "BROADCAST_CMD_RESET", kNeedsDevice,
     [](const O& o) { return ResetWords(*o.m_Device); }},
    {"master", "BROADCAST_CMD_MASTER", kNeedsDevice | kNeedsRate,
     [](const O& o) { return MasterWords(*o.m_Device, o.m_Surrogate, *o.m_Rate); }},
    {"awake", "BROADCAST_CMD_AWAKE", kNeedsDevice,
     [](const O& o) { return AwakeWords(*o.m_Device); }},
    {"preview", "BROADCAST_CMD_PREVIEW", kNeedsDevice | kNeedsPreviewState,
     [](const O& o) { return PreviewWords(*o.m_Device, *o.m_PreviewOn); }},
    {"alive-ping", "BROADCAST_CMD_ALIVE_PING", kNeedsDevice,
     [](const O& o) { return AlivePingWords(*o.m_Device); }},
    {"frame-number", "BROADCAST_CMD_FRAME_NUMBER", kNeedsFrame,
     [](const O& o) { return FrameNumberWords(*o.m_Frame); }},
    {"data-disable", "BROADCAST_CMD_DATA_DISABLE", kNeedsFlags,
     [](const O& o) { return DataDisableWords(*o.m_Flags); }},
    {"strobe-disable", "BROADCAST_CMD_STROBE_DISABLE", kNeedsFlags,
     [](const O& o) { return StrobeDisableWords(*o.m_Flags); }},
    {"test-sync", "BROADCAST_CMD_TEST_SYNC", 0, [](const O&) { return TestSyncWords(); }},
    {"system-event", "BROADCAST_CMD_SYSTEM_EVENT", kNeedsType,
     [](const O& o) { return SystemEventWords(*o.m_Type); }},
    {"raw", "raw words", kNeedsRawWords, [](const O& o) { return o.m_RawWords; }},
};

const VCommand* FindCommand(const std::string& name)
{
    for (const VCommand& command : kCommands)
    {
        if (name == command.m_CommandLineName)
            return &command;
    }
    return nullptr;
}

/// The first option that `command` needs and `values` lacks, or null.
const char* MissingOption(const VCommand& command, const VOptionValues& values)
{
    struct VCheck
    {
        unsigned m_Need;
        bool m_Present;
        const char* m_Option;
    };
    const VCheck checks[] = {
        {kNeedsDevice, values.m_Device.has_value(), "--device"},
        {kNeedsRate, values.m_Rate.has_value(), "--rate"},
        {kNeedsFrame, values.m_Frame.has_value(), "--frame"},
        {kNeedsFlags, values.m_Flags.has_value(), "--flags"},
        {kNeedsType, values.m_Type.has_value(), "--type"},
        {kNeedsPreviewState, values.m_PreviewOn.has_value(), "--on or --off"},
        {kNeedsRawWords, !values.m_RawWords.empty(), "at least one word"},
    };
    for (const VCheck& check : checks)
    {
        if ((command.m_Needs & check.m_Need) != 0 && !check.m_Present)
            return check.m_Option;
    }
    return nullptr;
}

bool ParseDevice(const std::string& text, uint32_t& value)
{
    if (text == "all" || text == "none")
    {
        value = BROADCAST_CMD_ALL_DEVICES;
        return true;
    }
    return ParseWord(text, value);
}

bool ParseRate(const std::string& text, std::optional<VBroadcastFrameRate>& rate)
{
    // Digits and one point only: no sign, exponent, "inf" or "nan".
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    double hz = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, hz);
    if (status != std::errc() || stop != end)
        return false;
    rate = SplitFrameRate(hz);
    return rate.has_value();
}

} // namespace

bool ParseWord(const std::string& text, uint32_t& value)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    uint32_t parsed = 0;
    const auto [stop, status] = std::from_chars(begin, end, parsed, hex ? 16 : 10);
    if (status != std::errc() || stop != end)
        return false;
    value = parsed;
    return true;
}

bool ParseBroadcastCommandLine(const std::vector<std::string>& args, VBroadcastRequest& request,
                               std::string& error)
{
    if (args.empty())
    {
        error = "no command given";
        return false;
    }
    const VCommand* command = FindCommand(args[0]);
    if (command == nullptr)
    {
        error = "unknown command \"" + args[0] + "\"";
        return false;
    }

    VOptionValues values;
    std::optional<VNetAddress> source;
    std::optional<VNetAddress> destination;
    uint32_t port = BROADCAST_CMD_PORT;
    for (size_t i = 1; i < args.size(); ++i)
    {
        const std::string& option = args[i];
        if (option == "--surrogate")
        {
            values.m_Surrogate = true;
            continue;
        }
        if (option == "--on" || option == "--off")
        {
            values.m_PreviewOn = option == "--on";
            continue;
        }
        if (args[0] == "raw" && option.rfind("--", 0) != 0)
        {
            uint32_t word = 0;
            if (!ParseWord(option, word))
            {
                error = "\"" + option + "\" is not a 32-bit number";
                return false;
            }
            values.m_RawWords.push_back(word);
            continue;
        }
        if (i + 1 >= args.size())
        {
            error = option + " needs a value";
            return false;
        }
        const std::string& text = args[++i];
        bool good = false;
        uint32_t word = 0;
        VNetAddress address;
        if (option == "--device")
        {
            good = ParseDevice(text, word);
            values.m_Device = word;
        }
        else if (option == "--frame" || option == "--flags" || option == "--type" ||
                 option == "--port")
        {
            good = ParseWord(text, word);
            if (option == "--frame")
                values.m_Frame = word;
            else if (option == "--flags")
                values.m_Flags = word;
            else if (option == "--type")
                values.m_Type = word;
            else
            {
                good = good && word > 0 && word <= 0xFFFF;
                port = word;
            }
        }
        else if (option == "--rate")
        {
            good = ParseRate(text, values.m_Rate);
        }
        else if (option == "--hal" || option == "--to")
        {
            good = address.FromString(text);
            (option == "--hal" ? source : destination) = address;
        }
        else
        {
            error = "unknown option \"" + option + "\"";
            return false;
        }
        if (!good)
        {
            error = "bad value \"" + text + "\" for " + option;
            return false;
        }
    }

    if (const char* missing = MissingOption(*command, values))
    {
        error = std::string(missing) + " is needed for " + command->m_CommandLineName;
        return false;
    }

    request.m_Name = command->m_LogName;
    request.m_Words = command->m_Build(values);
    request.m_Source = source.value_or(VNetAddress());
    if (destination.has_value())
        request.m_Destination = *destination;
    else if (!source.has_value() || (source->GetAddress() >> 24) == 0x7F)
        request.m_Destination = source.value_or(VNetAddress(kLoopbackHost));
    else
        request.m_Destination = VNetAddress(kLimitedBroadcast);
    request.m_Port = static_cast<uint16_t>(port);
    return true;
}

const char* BroadcastUsageText()
{
    return "Usage: tsmhost broadcast <command> [options]\n"
           "Sends one broadcast command datagram as the HAL does (UDP, big-endian words).\n"
           "\n"
           "Commands and the options they need:\n"
           "  sync           --frame N\n"
           "  reset          --device ID\n"
           "  master         --device ID --rate HZ [--surrogate]\n"
           "  awake          --device ID\n"
           "  preview        --device ID --on|--off\n"
           "  alive-ping     --device ID\n"
           "  frame-number   --frame N\n"
           "  data-disable   --flags N      (bit 0 set: data disabled)\n"
           "  strobe-disable --flags N\n"
           "  test-sync\n"
           "  system-event   --type N\n"
           "  raw WORD...    any words, code first (e.g. raw 0x00030001 1 2)\n"
           "\n"
           "Numbers are decimal or 0x hexadecimal; a device ID may also be \"all\" or\n"
           "\"none\" (0xFFFFFFFF). A rate is in hertz with up to three decimals (100.5).\n"
           "\n"
           "Where it goes:\n"
           "  --hal ADDR   send from this address (the HAL's); default: any\n"
           "  --to ADDR    destination; default: the HAL address when it is a loopback\n"
           "               address or not given (127.0.0.1), else 255.255.255.255\n"
           "  --port N     destination port; default 8666\n";
}
