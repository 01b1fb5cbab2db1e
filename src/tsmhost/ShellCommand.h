// "tsmhost shell": one conversation with a device's command shell.
#pragma once

#include "tsmhost/RunCommandLine.h"

#include <cstdio>

/// Connects, checks the greeting, sends each command and prints its reply to `out` (each
/// reply followed by a line end when it lacks one). Failures go to `err` as one line.
/// Returns 0 when every command was answered, 1 otherwise.
int RunShellCommand(const VShellOptions& options, std::FILE* out, std::FILE* err);
