// What "tsmhost run" shows: the live table of the devices' rates, the verdict on a run, and
// its summary as text or JSON.
#pragma once

#include "tsmhost/HostDevice.h"
#include "tsmhost/VFrameRecorder.h"
#include "tsmhost/VHostSession.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// Everything the summary of a run shows. A value type.
struct VRunSummary
{
    VNetAddress Hal;
    double Rate = 0.0;
    std::optional<std::uint32_t> Master;
    /// Seconds from the sync commands to the end.
    double StreamSeconds = 0.0;
    std::string StopReason;
    std::vector<VHostDevice> Devices;
    VHostCounters Counters;
    bool Recording = false;
    /// The X2D file of the cameras and the X1D file of the sync units' analogue frames; empty
    /// when there was nothing of that kind to record.
    std::string RecordPath;
    std::string AnalogueRecordPath;
    VRecorderCounts RecordCounts;
    std::string RecordError;
    /// One line per problem; empty when the run was clean.
    std::vector<std::string> Problems;

    bool IsClean() const { return Problems.empty(); }
};

/// The problems of a run: no device, or any device not configured, silent, restarted,
/// sending no frames (cameras), losing, reordering, repeating or damaging frames, or sending
/// timecode that does not follow on; a recording error. Late frames are not problems: a
/// loaded machine makes some.
std::vector<std::string> JudgeRun(const std::vector<VHostDevice>& devices,
                                  const std::string& recordError);

/// The live table: one line per device with the rates between `previous` and `current`
/// (copies of the same devices `seconds` apart; a device missing from `previous` counts from
/// zero), and a heading line.
std::string FormatLiveTable(const std::vector<VHostDevice>& current,
                            const std::vector<VHostDevice>& previous, double seconds,
                            const std::string& heading);

/// The summary as text: the table of whole-run rates, the devices' identities and states,
/// the recording, and the verdict.
std::string FormatSummaryText(const VRunSummary& summary);

/// The summary as one JSON object (indented), ending with a line end.
std::string FormatSummaryJson(const VRunSummary& summary);
