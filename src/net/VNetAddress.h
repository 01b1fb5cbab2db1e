// An IPv4 address as a value, with its dotted-quad text form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// An IPv4 address held as a host-order integer (first dotted number in the top byte).
class INetAddress
{
public:
    virtual ~INetAddress() = default;
    virtual uint32_t GetAddress() const = 0;
    virtual void SetAddress(uint32_t hostOrder) = 0;
};

/// Value type; copy freely. Not synchronised: one thread per object.
class VNetAddress : public INetAddress
{
public:
    VNetAddress() = default;
    explicit VNetAddress(uint32_t hostOrder) : m_Address(hostOrder) {}

    uint32_t GetAddress() const override { return m_Address; }
    void SetAddress(uint32_t hostOrder) override { m_Address = hostOrder; }

    /// The address in network byte order, as sockets and the devices keep it.
    uint32_t GetNetworkOrder() const;
    void SetNetworkOrder(uint32_t networkOrder);

    bool IsEmpty() const { return m_Address == 0; }

    /// "a.b.c.d", most significant byte first.
    std::string ToString() const;

    /// Reads exactly four decimal numbers from 0 to 255 separated by "." and nothing
    /// else (no blanks, signs or trailing text). On failure returns false and keeps
    /// the old value.
    bool FromString(std::string_view text);

    bool operator==(const VNetAddress& other) const { return m_Address == other.m_Address; }
    bool operator!=(const VNetAddress& other) const { return m_Address != other.m_Address; }
    bool operator<(const VNetAddress& other) const { return m_Address < other.m_Address; }

private:
    uint32_t m_Address = 0;
};
