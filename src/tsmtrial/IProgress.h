// Progress of a long piece of work, reported by the worker and shown by whoever listens.
#pragma once

#include <cstdint>

/// Receives progress of one piece of work: Begin once, Advance any number of times with a
/// growing count, End once. Called on the worker's thread.
class IProgress
{
public:
    virtual ~IProgress() = default;

    /// `total` steps are to be done; the output is expected to be about `estimatedBytes`.
    virtual void Begin(std::uint64_t total, std::uint64_t estimatedBytes) = 0;
    /// `done` of the total steps are done.
    virtual void Advance(std::uint64_t done) = 0;
    /// The work ended, successfully or not.
    virtual void End(bool success) = 0;
};
