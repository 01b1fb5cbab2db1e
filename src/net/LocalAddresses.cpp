#include "net/LocalAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <functional>

namespace
{

/// Calls `match` with every IPv4 interface entry until it returns true; false when none did
/// or the list cannot be read.
bool AnyInterface(const std::function<bool(const ifaddrs&)>& match)
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next)
    {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET)
            found = match(*entry);
    }
    ::freeifaddrs(list);
    return found;
}

std::uint32_t AddressOf(const sockaddr* address)
{
    return reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr;
}

} // namespace

bool IsOwnAddress(std::uint32_t networkOrderAddress)
{
    if (networkOrderAddress == htonl(INADDR_ANY))
        return false;
    const bool loopbackRange = (ntohl(networkOrderAddress) >> 24) == 127u;
    return AnyInterface(
        [&](const ifaddrs& entry)
        {
            if (AddressOf(entry.ifa_addr) == networkOrderAddress)
                return true;
            // The whole loopback range is local once the loopback interface is up.
            return loopbackRange && (entry.ifa_flags & IFF_LOOPBACK) != 0 &&
                   (entry.ifa_flags & IFF_UP) != 0;
        });
}

bool IsBroadcastAddress(std::uint32_t networkOrderAddress)
{
    if (networkOrderAddress == htonl(INADDR_BROADCAST))
        return true;
    return AnyInterface(
        [&](const ifaddrs& entry)
        {
            if ((entry.ifa_flags & IFF_BROADCAST) != 0 && entry.ifa_broadaddr != nullptr &&
                entry.ifa_broadaddr->sa_family == AF_INET &&
                AddressOf(entry.ifa_broadaddr) == networkOrderAddress)
                return true;
            // The system takes the top address of every subnet wider than two addresses as its
            // broadcast address, also where none was configured ("ip addr add" without "brd").
            if (entry.ifa_netmask == nullptr)
                return false;
            const std::uint32_t mask = ntohl(AddressOf(entry.ifa_netmask));
            return mask < 0xFFFFFFFEu &&
                   (ntohl(AddressOf(entry.ifa_addr)) | ~mask) == ntohl(networkOrderAddress);
        });
}
