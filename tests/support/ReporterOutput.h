// Reads what the error reporter prints when nobody can answer it, for tests of the reporter
// and of the programs that start it.
#pragma once

#include <string>
#include <string_view>

namespace testsupport
{

/// Whether `text` is an incident ID of `baseName`: the name, "-", eight digits, "-", six digits.
bool IsIncidentId(std::string_view text, std::string_view baseName);

/// The dump path and incident ID (of `baseName`) of the "not sent" information, which must end
/// the reporter's error output `errors`. False when it does not.
bool ReadNotSentInformation(std::string_view errors, std::string_view baseName,
                            std::string& dumpPath, std::string& incidentId);

} // namespace testsupport
