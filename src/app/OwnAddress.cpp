#include "app/OwnAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace
{

constexpr uint32_t kLoopbackNet = 0x7F000000u;
constexpr uint32_t kLoopbackMask = 0xFF000000u;
constexpr uint32_t kLoopbackHost = 0x7F000001u;

std::vector<VNetAddress> ResolveHostName()
{
    // Large enough for any host name the system hands out.
    char hostName[400] = {};
    if (gethostname(hostName, sizeof(hostName) - 1) != 0)
        return {};

    addrinfo hints = {};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (getaddrinfo(hostName, nullptr, &hints, &result) != 0)
        return {};
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(result, &freeaddrinfo);

    std::vector<VNetAddress> addresses;
    for (const addrinfo* entry = result; entry != nullptr; entry = entry->ai_next)
    {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr ||
            entry->ai_addrlen < sizeof(sockaddr_in))
            continue;
        sockaddr_in in = {};
        std::memcpy(&in, entry->ai_addr, sizeof(in));
        VNetAddress address;
        address.SetNetworkOrder(in.sin_addr.s_addr);
        addresses.push_back(address);
    }
    return addresses;
}

std::vector<VNetAddress> InterfaceAddresses()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);

    std::vector<VNetAddress> addresses;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next)
    {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0)
            continue;
        sockaddr_in in = {};
        std::memcpy(&in, entry->ifa_addr, sizeof(in));
        VNetAddress address;
        address.SetNetworkOrder(in.sin_addr.s_addr);
        addresses.push_back(address);
    }
    return addresses;
}

} // namespace

bool IsLoopbackAddress(const VNetAddress& address)
{
    return (address.GetAddress() & kLoopbackMask) == kLoopbackNet;
}

VNetAddress ChooseOwnAddress(const std::vector<VNetAddress>& resolved,
                             const std::vector<VNetAddress>& interfaces)
{
    for (auto it = resolved.rbegin(); it != resolved.rend(); ++it)
    {
        if (!IsLoopbackAddress(*it) && !it->IsEmpty())
            return *it;
    }
    for (const VNetAddress& address : interfaces)
    {
        if (!IsLoopbackAddress(address) && !address.IsEmpty())
            return address;
    }
    return VNetAddress(kLoopbackHost);
}

VNetAddress ResolveOwnAddress()
{
    return ChooseOwnAddress(ResolveHostName(), InterfaceAddresses());
}
