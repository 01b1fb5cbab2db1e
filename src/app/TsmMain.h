// The tsmCL program: command line, addresses, device manager and event loop.
#pragma once

/// Runs tsmCL and returns its exit code: 1 when the command line is rejected
/// (bad address, no trial file), 0 after the help listing, otherwise the event
/// loop's result. Call once per process, from main, on the main thread.
int RunTsmCL(int argc, char* argv[]);
