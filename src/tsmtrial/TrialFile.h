// Opening a trial file of either kind: the kind from the file name, and the matching reader.
#pragma once

#include "tsmtrial/ITrialReader.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

/// The kind named by a file's extension (".x2d" or ".x1d", any letter case); none for any
/// other name.
std::optional<TrialKind> TrialKindFromPath(std::string_view path);

/// The kind named by "x2d" or "x1d" (any letter case); none for any other text.
std::optional<TrialKind> TrialKindFromName(std::string_view name);

/// Opens `path` as a trial of `kind`. Always returns a reader; when the file cannot be
/// opened its IsOpen is false and GetErrors holds the reader's messages.
std::unique_ptr<ITrialReader> OpenTrialReader(const std::string& path, TrialKind kind);
