// The texts that tsmtrial prints: a trial's header summary and one frame, each as plain text
// for people and as JSON for programs.
#pragma once

#include "tsmtrial/TrialSnapshot.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TrialReport
{

/// A name for a header format identifier of the given kind ("centroids", "analogue blocks",
/// ...); "unknown" for identifiers the readers do not decode.
std::string FormatName(TrialKind kind, std::uint16_t formatId);

/// "0xDFAA".
std::string FormatId(std::uint16_t formatId);

/// The header summary as aligned "Label  value" lines. `path` is shown as the file.
std::string InfoText(const VTrialInfo& info, const std::string& path);

/// The header summary as one JSON object, indented by 2, with the keys in this order:
/// "kind", "version", "devices", "frames", "frame_range", "frame_rate", "start_timecode",
/// "cameras", "header_value", "source_sets", "errors", then "formats", "frame_info_format",
/// "index_rebuilt" and "opened". Keys that the kind lacks hold null or an empty array.
std::string InfoJson(const VTrialInfo& info);

/// One frame as text: frame number, the read result and every item of every camera or device.
/// `errors` are the reader's messages to show after it.
std::string FrameText(const VTrialFrame& frame, const std::vector<std::string>& errors);

/// One frame as JSON: "index", "frame_number", "ok", then "cameras" (each with "name",
/// "camera_value", "centroids" [x, y, radius, fraction], "tracks" [id, length, confidence],
/// "blobs" {"flag", "lines" [column, line, pixel count]}, "edges" [c0, c1, c2], "info_byte")
/// for X2D or "devices" (each with "name" and "blocks" {"size", "bytes" in hex}) for X1D,
/// then "errors".
std::string FrameJson(TrialKind kind, const VTrialFrame& frame,
                      const std::vector<std::string>& errors);

/// Bytes as lower-case hex digits, two per byte.
std::string Hex(const std::vector<std::uint8_t>& bytes);

} // namespace TrialReport
