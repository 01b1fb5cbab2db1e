// The tsmCL program: command line, addresses, device manager and event loop.
#pragma once

#include <cstdint>

class VFakeDeviceManager;

/// Runs tsmCL and returns its exit code: 1 when the command line is rejected
/// (bad address, no trial file), 0 after the help listing, otherwise the event
/// loop's result. Call once per process, from main, on the main thread.
int RunTsmCL(int argc, char* argv[]);

/// The last start-up step before the event loop: sets every device's "Connected"
/// parameter to true (typed set, checked), in list order, which runs each
/// device's connection handling at once. Returns how many devices took the
/// change. Main thread.
uint32_t ConnectEveryDevice(VFakeDeviceManager& manager);
