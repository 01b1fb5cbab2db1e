// Finds this machine's own IPv4 address, the default for both the local and the
// HAL address of tsmCL.
#pragma once

#include "net/VNetAddress.h"

#include <vector>

/// True for 127.0.0.0/8.
bool IsLoopbackAddress(const VNetAddress& address);

/// Chooses the own address from the host name's IPv4 addresses (`resolved`, in the
/// resolver's order) and the machine's interface addresses (`interfaces`, in
/// interface order): the last resolved address that is not loopback; when there is
/// none (Debian maps the host name to 127.0.1.1), the first interface address that
/// is neither loopback nor 0.0.0.0; failing that 127.0.0.1.
VNetAddress ChooseOwnAddress(const std::vector<VNetAddress>& resolved,
                             const std::vector<VNetAddress>& interfaces);

/// Resolves the host name (IPv4 only) and reads the IPv4 addresses of the
/// interfaces that are up, then applies ChooseOwnAddress. Never fails.
/// Safe from any thread.
VNetAddress ResolveOwnAddress();
