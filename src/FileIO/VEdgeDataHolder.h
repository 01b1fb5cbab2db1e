// The edge pair data holder: decodes edge pair items straight into an edge pair set.
#pragma once

#include "FileIO/DefaultFormats.h"
#include "FileIO/VDataHolderNoCopying.h"
#include "FileIO/VEdgeDatum.h"
#include "FileIO/VX2DAccessors.h"

/// Edge pairs, format 0xDFCC. Target: an IEdgePairSetDirect (SetTarget).
/// Not thread-safe: used by the reader's thread only.
class VEdgeDataHolder : public VDataHolderNoCopying<VEdgeDatum, VX2DEdgePairAccessor>
{
public:
    VEdgeDataHolder() : VDataHolderNoCopying(DefaultFormats::EdgePairs()) {}
};
