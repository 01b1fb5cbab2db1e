#include "FileIO/VEdgePair.h"

VEdgePair& VEdgePair::Assign(const IEdgePair& source)
{
    source.CopyTo(*this);
    return *this;
}

VEdgePair& VEdgePair::Assign(const IEdgePairDirect& source)
{
    source.CopyTo(*this);
    return *this;
}
