// JSON documents of our own tools, on nlohmann-json: members in the order they were added,
// text that stays valid whatever bytes a name held.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

/// A JSON value whose objects keep their members in insertion order.
using VJson = nlohmann::ordered_json;

namespace JsonText
{

/// `document` indented by two, ending with a line end. Bytes of strings that are not valid
/// UTF-8 are replaced by U+FFFD; non-finite numbers are written as null.
std::string Write(const VJson& document);

/// The double with the shortest decimal form that reads back to `value` (0.3f gives 0.3, not
/// 0.30000001192092896), so single-precision values print as short as they are.
double ShortestFloat(float value);

} // namespace JsonText
