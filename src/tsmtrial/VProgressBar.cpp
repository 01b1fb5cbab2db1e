#include "tsmtrial/VProgressBar.h"

#include <algorithm>

VProgressBar::VProgressBar(std::ostream& out, std::string label, bool interactive,
                           std::uint64_t minimumBytes)
    : m_Out(out), m_Label(std::move(label)), m_Interactive(interactive),
      m_MinimumBytes(minimumBytes)
{
}

std::string VProgressBar::Render(const std::string& label, std::uint64_t done, std::uint64_t total)
{
    done = std::min(done, total);
    const double share = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const int filled = static_cast<int>(share * kBarWidth);
    const int percent = static_cast<int>(share * 100.0);
    std::string line = label + " [";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    line += "] ";
    const std::string percentText = std::to_string(percent);
    line.append(3 - std::min<std::size_t>(3, percentText.size()), ' ');
    line += percentText + "% " + std::to_string(done) + "/" + std::to_string(total);
    return line;
}

void VProgressBar::Begin(std::uint64_t total, std::uint64_t estimatedBytes)
{
    m_Total = total;
    m_Shown = m_Interactive && estimatedBytes >= m_MinimumBytes;
    m_LastPercent = -1;
    if (m_Shown)
    {
        Advance(0);
    }
}

void VProgressBar::Advance(std::uint64_t done)
{
    if (!m_Shown)
    {
        return;
    }
    const int percent =
        m_Total == 0 ? 100 : static_cast<int>(std::min(done, m_Total) * 100 / m_Total);
    const auto now = std::chrono::steady_clock::now();
    const bool due = now - m_LastDraw >= std::chrono::milliseconds(100);
    if (percent == m_LastPercent || (!due && percent != 100 && m_LastPercent >= 0))
    {
        return;
    }
    const std::string line = Render(m_Label, done, m_Total);
    m_Out << '\r' << line;
    if (line.size() < m_LastWidth)
    {
        m_Out << std::string(m_LastWidth - line.size(), ' ');
    }
    m_Out.flush();
    m_LastWidth = line.size();
    m_LastPercent = percent;
    m_LastDraw = now;
}

void VProgressBar::End(bool /*success*/)
{
    if (!m_Shown)
    {
        return;
    }
    m_Out << '\r' << std::string(m_LastWidth, ' ') << '\r';
    m_Out.flush();
    m_Shown = false;
}
