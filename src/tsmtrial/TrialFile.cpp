#include "tsmtrial/TrialFile.h"

#include "tsmtrial/VX1DTrialReader.h"
#include "tsmtrial/VX2DTrialReader.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace
{

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

} // namespace

const char* TrialKindName(TrialKind kind)
{
    return kind == TrialKind::X2D ? "x2d" : "x1d";
}

std::optional<TrialKind> TrialKindFromName(std::string_view name)
{
    const std::string lower = Lower(name);
    if (lower == "x2d")
    {
        return TrialKind::X2D;
    }
    if (lower == "x1d")
    {
        return TrialKind::X1D;
    }
    return std::nullopt;
}

std::optional<TrialKind> TrialKindFromPath(std::string_view path)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    {
        return std::nullopt;
    }
    return TrialKindFromName(path.substr(dot + 1));
}

std::unique_ptr<ITrialReader> OpenTrialReader(const std::string& path, TrialKind kind)
{
    if (kind == TrialKind::X2D)
    {
        return std::make_unique<VX2DTrialReader>(path);
    }
    return std::make_unique<VX1DTrialReader>(path);
}
