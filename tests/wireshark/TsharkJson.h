// Runs tshark with the tsm dissector over a capture file and reads what it decoded: the
// packets of "tshark -T json", and the values of any field inside each packet.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace wireshark_test
{

/// Where a program is found on PATH; empty when it is not installed.
std::string FindProgram(const std::string& name);

/// What tshark made of a capture file.
struct VDecoded
{
    bool Ran = false;
    int Exit = -1;
    std::string Errors;                 ///< tshark's standard error
    std::vector<nlohmann::json> Layers; ///< "_source.layers" of each packet, in file order
};

/// Decodes `capture` with tshark and the dissector at TSM_DISSECTOR, as JSON with duplicate
/// keys merged into arrays. `extra` is added to tshark's arguments (already quoted).
VDecoded Decode(const std::string& tshark, const std::string& capture,
                const std::string& extra = "");

/// Every value of field `name` anywhere inside `node`, in tree order.
std::vector<std::string> Values(const nlohmann::json& node, const std::string& name);

/// The first value of field `name` inside `node`, or "" when there is none.
std::string Value(const nlohmann::json& node, const std::string& name);

} // namespace wireshark_test
