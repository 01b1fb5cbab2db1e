// A binary reader and writer pair that owns its two standard streams.
#pragma once

#include "net/TDataIOS.h"
#include "net/TIDataStreamBinary.h"
#include "net/TODataStreamBinary.h"

#include <memory>

/// Owners of the two streams, a base so that they exist before the reader and writer bind.
template <class IStreamT, class OStreamT> struct TIODataStreamOwners
{
    TIODataStreamOwners(std::unique_ptr<IStreamT> in, std::unique_ptr<OStreamT> out)
        : m_InOwner(std::move(in)), m_OutOwner(std::move(out))
    {
    }
    TDataIOS<IStreamT> m_InOwner;
    TDataIOS<OStreamT> m_OutOwner;
};

/// Binary reading from one stream and writing to another, owning both (given non-null).
/// good() is true when neither stream has a state bit set, bad() when either is bad; the
/// reader's and writer's own states are in GetIStream() and GetOStream().
/// Threading contract: one reading thread and one writing thread. Not copyable.
template <class IStreamT, class OStreamT>
class TIODataStreamBinary : private TIODataStreamOwners<IStreamT, OStreamT>,
                            public TIDataStreamBinary<IStreamT>,
                            public TODataStreamBinary<OStreamT>
{
    using Owners = TIODataStreamOwners<IStreamT, OStreamT>;

public:
    TIODataStreamBinary(std::unique_ptr<IStreamT> in, std::unique_ptr<OStreamT> out)
        : Owners(std::move(in), std::move(out)), TIDataStreamBinary<IStreamT>(
                                                     Owners::m_InOwner.GetStdStream()),
          TODataStreamBinary<OStreamT>(Owners::m_OutOwner.GetStdStream())
    {
    }

    bool good() const override
    {
        return TIDataStreamBinary<IStreamT>::good() && TODataStreamBinary<OStreamT>::good();
    }
    bool bad() const override
    {
        return TIDataStreamBinary<IStreamT>::bad() || TODataStreamBinary<OStreamT>::bad();
    }
};
