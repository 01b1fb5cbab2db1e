// What a stream client tells its owner: connection, items and the loss of the connection.
#pragma once

#include "cgstream/VItem.h"

#include <memory>

/// Notifications of a VOrvanCGStreamClient. Every operation runs on the client's connection
/// thread, one at a time, and must not destroy the client (hand such work to another
/// thread). Each has a neutral default.
class IOrvanCGStreamClientCallback
{
public:
    /// The connection is made, the request sent and the host's preamble read.
    virtual void OnConnected() {}
    /// An item of a type that was not requested; the handle may be kept or dropped.
    virtual void OnUnrequestedItem(std::shared_ptr<const OrvanCGStream::VItem> item) { (void)item; }
    /// An item of a requested type; the handle shares the item's ownership.
    virtual void OnItemReceived(std::shared_ptr<const OrvanCGStream::VItem> item) { (void)item; }
    /// The connection could not be made, or was lost (closed by the host, a read error, a
    /// malformed stream). Reported once per Connect; never for a connection that Connect
    /// or Disconnect ended on request.
    virtual void OnConnectionLost() {}
    virtual ~IOrvanCGStreamClientCallback() = default;
};
