// A one-line text progress bar for a terminal, redrawn in place with a carriage return.
#pragma once

#include "tsmtrial/IProgress.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

/// Draws "label [#####.....]  45% 135/300" on `out`, redrawing the same line. It shows only
/// when `interactive` is true and the work is large (Begin's estimate at least
/// `minimumBytes`), so that pipes, logs and quick runs stay clean. Redraws happen when the
/// percentage changes, at most every 100 ms (and always at 100%). End clears the line.
/// The stream is not owned and must outlive the bar. One thread at a time.
class VProgressBar final : public IProgress
{
public:
    static constexpr std::uint64_t kDefaultMinimumBytes = 8u << 20;
    static constexpr int kBarWidth = 30;

    VProgressBar(std::ostream& out, std::string label, bool interactive,
                 std::uint64_t minimumBytes = kDefaultMinimumBytes);
    VProgressBar(const VProgressBar&) = delete;
    VProgressBar& operator=(const VProgressBar&) = delete;

    void Begin(std::uint64_t total, std::uint64_t estimatedBytes) override;
    void Advance(std::uint64_t done) override;
    void End(bool success) override;

    /// Whether Begin decided to show the bar.
    bool IsShown() const { return m_Shown; }
    /// The line for `done` of `total`, without carriage return.
    static std::string Render(const std::string& label, std::uint64_t done, std::uint64_t total);

private:
    std::ostream& m_Out;
    std::string m_Label;
    bool m_Interactive;
    std::uint64_t m_MinimumBytes;
    bool m_Shown = false;
    std::uint64_t m_Total = 0;
    int m_LastPercent = -1;
    std::size_t m_LastWidth = 0;
    std::chrono::steady_clock::time_point m_LastDraw;
};
