#include "tsmhost/BroadcastCommandLine.h"

#include "cli/CommandLine.h"
#include "tsmhost/BroadcastEncoder.h"

#include <charconv>

namespace
{

constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFFu;
constexpr uint32_t kLoopbackHost = 0x7F000001u;

/// The options a command takes; each but kTakesSurrogate must be given.
enum ETakes : unsigned
{
    kTakesDevice = 1u << 0,
    kTakesFrame = 1u << 1,
    kTakesRate = 1u << 2,
    kTakesFlags = 1u << 3,
    kTakesType = 1u << 4,
    kTakesPreviewState = 1u << 5,
    kTakesRawWords = 1u << 6,
    kTakesSurrogate = 1u << 7,
};

/// What a command's words are built from: the values once every needed one is present.
struct VCommandValues
{
    uint32_t Device = 0;
    uint32_t Frame = 0;
    VBroadcastFrameRate Rate = {};
    uint32_t Flags = 0;
    uint32_t Type = 0;
    bool PreviewOn = false;
    bool Surrogate = false;
    const std::vector<uint32_t>* RawWords = nullptr;
};

struct VCommand
{
    const char* m_CommandLineName;
    const char* m_LogName;
    const char* m_Description;
    unsigned m_Takes;
    std::vector<uint32_t> (*m_Build)(const VCommandValues&);
};

using V = VCommandValues;
const VCommand kCommands[] = {
    {"sync", "BROADCAST_CMD_SYNC", "SYNC: the next frame number", kTakesFrame,
     [](const V& v) { return SyncWords(v.Frame); }},
    {"reset", "BROADCAST_CMD_RESET", "RESET a device", kTakesDevice,
     [](const V& v) { return ResetWords(v.Device); }},
    {"master", "BROADCAST_CMD_MASTER", "MASTER: the sync master and the frame rate",
     kTakesDevice | kTakesRate | kTakesSurrogate,
     [](const V& v) { return MasterWords(v.Device, v.Surrogate, v.Rate); }},
    {"awake", "BROADCAST_CMD_AWAKE", "AWAKE: ask a device to announce itself", kTakesDevice,
     [](const V& v) { return AwakeWords(v.Device); }},
    {"preview", "BROADCAST_CMD_PREVIEW", "PREVIEW on or off for a device",
     kTakesDevice | kTakesPreviewState,
     [](const V& v) { return PreviewWords(v.Device, v.PreviewOn); }},
    {"alive-ping", "BROADCAST_CMD_ALIVE_PING", "ALIVE_PING a device", kTakesDevice,
     [](const V& v) { return AlivePingWords(v.Device); }},
    {"frame-number", "BROADCAST_CMD_FRAME_NUMBER", "FRAME_NUMBER: the next frame number",
     kTakesFrame, [](const V& v) { return FrameNumberWords(v.Frame); }},
    {"data-disable", "BROADCAST_CMD_DATA_DISABLE", "DATA_DISABLE flags (bit 0 set: disabled)",
     kTakesFlags, [](const V& v) { return DataDisableWords(v.Flags); }},
    {"strobe-disable", "BROADCAST_CMD_STROBE_DISABLE", "STROBE_DISABLE flags", kTakesFlags,
     [](const V& v) { return StrobeDisableWords(v.Flags); }},
    {"test-sync", "BROADCAST_CMD_TEST_SYNC", "TEST_SYNC", 0,
     [](const V&) { return TestSyncWords(); }},
    {"system-event", "BROADCAST_CMD_SYSTEM_EVENT", "SYSTEM_EVENT of a type", kTakesType,
     [](const V& v) { return SystemEventWords(v.Type); }},
    {"raw", "raw words", "any words, code first (raw 0x00030001 1 2)", kTakesRawWords,
     [](const V& v) { return *v.RawWords; }},
};

bool ParseDevice(const std::string& text, uint32_t& value)
{
    if (text == "all" || text == "none")
    {
        value = BROADCAST_CMD_ALL_DEVICES;
        return true;
    }
    return ParseWord(text, value);
}

/// Hertz with up to three decimals: digits and one point only, no sign, exponent, "inf" or
/// "nan".
bool ParseRate(const std::string& text, double& hz)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, hz);
    return status == std::errc() && stop == end && SplitFrameRate(hz).has_value();
}

template <typename T> auto Into(std::optional<T>& target, bool (*read)(const std::string&, T&))
{
    return [&target, read](const std::string& text)
    {
        T value{};
        if (!read(text, value))
            return false;
        target = value;
        return true;
    };
}

bool ParseAddress(const std::string& text, VNetAddress& address)
{
    return address.FromString(text);
}

const VCommand* ChosenCommand(const CLI::App& broadcast)
{
    for (const VCommand& command : kCommands)
    {
        if (broadcast.got_subcommand(command.m_CommandLineName))
            return &command;
    }
    return nullptr;
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

void VBroadcastCommandLine::Declare(CLI::App& broadcast)
{
    VValues& v = m_Values;
    v.m_Port = BROADCAST_CMD_PORT;
    broadcast.require_subcommand(0, 1);
    broadcast.footer("Numbers are decimal or 0x hexadecimal; a device ID may also be \"all\" or "
                     "\"none\" (0xFFFFFFFF). A rate is in hertz with up to three decimals "
                     "(100.5). Run \"tsmhost broadcast <command> --help\" for a command's "
                     "options.");
    for (const VCommand& command : kCommands)
    {
        CLI::App* sub =
            broadcast.add_subcommand(command.m_CommandLineName, std::string(command.m_Description) +
                                                                    " (" + command.m_LogName + ")");
        const unsigned takes = command.m_Takes;
        if (takes & kTakesDevice)
            CommandLine::AddValue(*sub, "--device", Into(v.m_Device, ParseDevice), "ID",
                                  "the device id, or all (needed)");
        if (takes & kTakesFrame)
            CommandLine::AddValue(*sub, "--frame", Into(v.m_Frame, ParseWord), "N",
                                  "the frame number (needed)");
        if (takes & kTakesRate)
            CommandLine::AddValue(*sub, "--rate", Into(v.m_Rate, ParseRate), "HZ",
                                  "the frame rate (needed)");
        if (takes & kTakesSurrogate)
            CommandLine::AddFlag(*sub, "--surrogate", v.m_Surrogate, "a surrogate master");
        if (takes & kTakesFlags)
            CommandLine::AddValue(*sub, "--flags", Into(v.m_Flags, ParseWord), "N",
                                  "the flags word (needed)");
        if (takes & kTakesType)
            CommandLine::AddValue(*sub, "--type", Into(v.m_Type, ParseWord), "N",
                                  "the event type (needed)");
        if (takes & kTakesPreviewState)
        {
            CLI::Option* on = CommandLine::AddFlag(*sub, "--on", v.m_On, "preview on");
            CommandLine::AddFlag(*sub, "--off", v.m_Off, "preview off")->excludes(on);
        }
        if (takes & kTakesRawWords)
        {
            sub->add_option_function<std::vector<std::string>>(
                   "WORD",
                   [&v](const std::vector<std::string>& words)
                   {
                       for (const std::string& word : words)
                       {
                           uint32_t value = 0;
                           if (!ParseWord(word, value))
                               throw CLI::ValidationError("\"" + word + "\" is not a 32-bit number",
                                                          CLI::ExitCodes::ValidationError);
                           v.m_RawWords.push_back(value);
                       }
                   },
                   "the datagram's words, code first")
                ->type_name("");
        }
        CommandLine::AddValue(*sub, "--hal", Into(v.m_Source, ParseAddress), "ADDR",
                              "send from this address (the HAL's); default: any")
            ->group("Where it goes");
        CommandLine::AddValue(*sub, "--to", Into(v.m_Destination, ParseAddress), "ADDR",
                              "destination; default: the HAL address when it is a loopback "
                              "address or not given (127.0.0.1), else 255.255.255.255; a rig "
                              "whose local address is not its HAL's takes the commands sent to "
                              "its local address or to a broadcast address")
            ->group("Where it goes");
        CommandLine::AddValue(
            *sub, "--port",
            [&v](const std::string& text)
            { return ParseWord(text, v.m_Port) && v.m_Port > 0 && v.m_Port <= 0xFFFF; },
            "N", "destination port; default 8666")
            ->group("Where it goes");
    }
}

bool VBroadcastCommandLine::MakeRequest(const CLI::App& broadcast, VBroadcastRequest& request,
                                        std::string& error) const
{
    const VCommand* command = ChosenCommand(broadcast);
    if (command == nullptr)
    {
        error = "no command given";
        return false;
    }
    const VValues& v = m_Values;
    struct VCheck
    {
        unsigned m_Takes;
        bool m_Present;
        const char* m_Option;
    };
    const VCheck checks[] = {
        {kTakesDevice, v.m_Device.has_value(), "--device"},
        {kTakesRate, v.m_Rate.has_value(), "--rate"},
        {kTakesFrame, v.m_Frame.has_value(), "--frame"},
        {kTakesFlags, v.m_Flags.has_value(), "--flags"},
        {kTakesType, v.m_Type.has_value(), "--type"},
        {kTakesPreviewState, v.m_On || v.m_Off, "--on or --off"},
        {kTakesRawWords, !v.m_RawWords.empty(), "at least one word"},
    };
    for (const VCheck& check : checks)
    {
        if ((command->m_Takes & check.m_Takes) != 0 && !check.m_Present)
        {
            error = std::string(check.m_Option) + " is needed for " + command->m_CommandLineName;
            return false;
        }
    }
    VCommandValues values;
    values.Device = v.m_Device.value_or(0);
    values.Frame = v.m_Frame.value_or(0);
    values.Rate = v.m_Rate ? *SplitFrameRate(*v.m_Rate) : VBroadcastFrameRate{};
    values.Flags = v.m_Flags.value_or(0);
    values.Type = v.m_Type.value_or(0);
    values.PreviewOn = v.m_On;
    values.Surrogate = v.m_Surrogate;
    values.RawWords = &v.m_RawWords;

    request.m_Name = command->m_LogName;
    request.m_Words = command->m_Build(values);
    request.m_Source = v.m_Source.value_or(VNetAddress());
    if (v.m_Destination.has_value())
        request.m_Destination = *v.m_Destination;
    else if (!v.m_Source.has_value() || (v.m_Source->GetAddress() >> 24) == 0x7F)
        request.m_Destination = v.m_Source.value_or(VNetAddress(kLoopbackHost));
    else
        request.m_Destination = VNetAddress(kLimitedBroadcast);
    request.m_Port = static_cast<uint16_t>(v.m_Port);
    return true;
}

bool ParseBroadcastCommandLine(const std::vector<std::string>& args, VBroadcastRequest& request,
                               std::string& error)
{
    CLI::App broadcast("Sends one broadcast command.", "broadcast");
    CommandLine::Configure(broadcast);
    VBroadcastCommandLine commandLine;
    commandLine.Declare(broadcast);
    const CommandLine::VParseResult parsed = CommandLine::Parse(broadcast, args);
    if (parsed.Outcome != CommandLine::EOutcome::Parsed)
    {
        error = parsed.Text;
        return false;
    }
    return commandLine.MakeRequest(broadcast, request, error);
}
