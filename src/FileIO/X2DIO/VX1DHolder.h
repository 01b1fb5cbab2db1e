// The X1D trial shared by the devices made from one file: one reader behind one lock, so
// that devices ticking on different threads never read the file at the same time.
#pragma once

#include "FileIO/X2DIO/VX1DImport.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

/// Shares one open VX1DImport, handed by the device manager to the sync unit made from the
/// file, by std::shared_ptr.
///
/// Threading: every operation may be called from any thread; each takes m_Lock for its whole
/// duration. All users of the import must go through this one holder. The frame passed to
/// ReadFrame belongs to the caller and must not be used by another thread during the call.
class VX1DHolder
{
public:
    /// Shares `import` (not null; normally open); it must no longer be used directly.
    explicit VX1DHolder(std::shared_ptr<VX1DImport> import);
    VX1DHolder(const VX1DHolder&) = delete;
    VX1DHolder& operator=(const VX1DHolder&) = delete;

    /// Opens `fileName`; null when it cannot be opened. `errors`, when given, receives the
    /// reader's messages either way.
    static std::shared_ptr<VX1DHolder> Open(const std::string& fileName,
                                            std::vector<std::string>* errors = nullptr);

    std::uint32_t GetDeviceCount() const;
    std::uint32_t GetFrameCount() const;
    std::uint32_t GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const;
    bool FindFrameIndex(std::uint32_t frameNumber, std::uint32_t& index) const;
    std::uint32_t GetFrameNumber(std::uint32_t index) const;
    std::int64_t GetHeaderValue() const;
    /// As VX1DImport::ReadFrame.
    bool ReadFrame(std::uint32_t index, IAnalogueBlockFrame* frame);
    /// As VX1DImport::ReadFrameByNumber.
    bool ReadFrameByNumber(std::uint32_t frameNumber, IAnalogueBlockFrame* frame);
    void GetAnalogueSourceSets(std::uint32_t& firstValue, std::uint32_t& secondValue,
                               std::vector<VAnalogueSourceSetSpec>& sets) const;
    /// A copy of the reader's messages.
    std::vector<std::string> GetErrors() const;

    /// Runs `action(const VX1DImport&)` under the lock; returns what it returns. `action`
    /// must not call back into this holder.
    template <typename Action> auto WithImport(Action&& action) const
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        return std::forward<Action>(action)(static_cast<const VX1DImport&>(*m_Import));
    }

private:
    mutable std::mutex m_Lock; // guards every use of m_Import
    std::shared_ptr<VX1DImport> m_Import;
};
