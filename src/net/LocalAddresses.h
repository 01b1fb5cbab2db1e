// Questions about this machine's own IPv4 addresses: whether an address is one of them, and
// whether a datagram's destination was a broadcast address.
#pragma once

#include <cstdint>

/// Whether `networkOrderAddress` is assigned to one of this machine's interfaces (any
/// address of 127.0.0.0/8 counts while the loopback interface has one of them). Reads the
/// interface list on each call. Any thread.
bool IsOwnAddress(std::uint32_t networkOrderAddress);

/// Whether `networkOrderAddress` is the limited broadcast address 255.255.255.255 or the
/// broadcast address of one of this machine's subnets: the one configured, or the top address
/// of the subnet, which the system takes for one too. Reads the interface list unless the
/// address is the limited one. Any thread.
bool IsBroadcastAddress(std::uint32_t networkOrderAddress);
