#include "net/VNetAddress.h"

#include <arpa/inet.h>

uint32_t VNetAddress::GetNetworkOrder() const
{
    return htonl(m_Address);
}

void VNetAddress::SetNetworkOrder(uint32_t networkOrder)
{
    m_Address = ntohl(networkOrder);
}

std::string VNetAddress::ToString() const
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        text += std::to_string((m_Address >> shift) & 0xFFu);
        if (shift != 0)
            text += '.';
    }
    return text;
}

bool VNetAddress::FromString(std::string_view text)
{
    uint32_t address = 0;
    size_t pos = 0;
    for (int part = 0; part < 4; ++part)
    {
        if (part != 0)
        {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
        const size_t start = pos;
        uint32_t value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3)
            value = value * 10 + static_cast<uint32_t>(text[pos++] - '0');
        if (pos == start || value > 255)
            return false;
        address = (address << 8) | value;
    }
    if (pos != text.size())
        return false;
    m_Address = address;
    return true;
}
