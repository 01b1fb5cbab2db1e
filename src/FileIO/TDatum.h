// The datum template: binds a datum of one data kind to its destination.
#pragma once

#include "FileIO/VDatumBase.h"

/// A datum that decodes items of record type `Data` into a destination of type `Element`:
/// the record itself for centroids, tracks and edge pairs (a pointer into a set's array),
/// an element object for greyscale blobs and analogue blocks (which are deep-copied in).
/// The destination is not owned; without one, Read decodes into the datum's own scratch
/// and drops the item, and Write fails.
/// Not thread-safe: one thread at a time.
template <typename Data, typename Element> class TDatum : public VDatumBase
{
public:
    using DataType = Data;
    using ElementType = Element;

    /// Binds the datum to `destination` (null to unbind); kept until the next call.
    void SetDestination(Element* destination) { m_Destination = destination; }
    Element* GetDestination() const { return m_Destination; }

protected:
    Element* m_Destination = nullptr;
};
