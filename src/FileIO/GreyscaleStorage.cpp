#include "FileIO/GreyscaleStorage.h"

#include <algorithm>
#include <functional>

namespace GreyscaleStorage
{

namespace
{
std::uint16_t LineCountOf(const IGreyscaleBlobData& blob)
{
    return blob.Lines != nullptr ? blob.LineCount : 0;
}

std::uint16_t PixelCountOf(const IGreyscaleLineData& line)
{
    return line.Pixels != nullptr ? line.PixelCount : 0;
}
} // namespace

std::uint16_t AppendLines(const IGreyscaleBlobData& blob, std::vector<IGreyscaleLineData>& lines,
                          std::vector<std::uint8_t>& pixels)
{
    const std::uint16_t lineCount = LineCountOf(blob);
    // No exact reserve here: appends of one blob after another must keep the vectors'
    // geometric growth.
    for (std::uint16_t i = 0; i < lineCount; ++i)
    {
        const IGreyscaleLineData& line = blob.Lines[i];
        const std::uint16_t pixelCount = PixelCountOf(line);
        lines.push_back(IGreyscaleLineData{line.Coord0, line.Coord1, nullptr, pixelCount});
        pixels.insert(pixels.end(), line.Pixels, line.Pixels + pixelCount);
    }
    return lineCount;
}

std::size_t PixelCount(const IGreyscaleBlobData& blob)
{
    std::size_t total = 0;
    for (std::uint16_t i = 0; i < LineCountOf(blob); ++i)
    {
        total += PixelCountOf(blob.Lines[i]);
    }
    return total;
}

void RepointLines(IGreyscaleLineData* lines, std::size_t count, const std::uint8_t* firstPixel)
{
    std::size_t offset = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
        lines[i].Pixels = lines[i].PixelCount > 0 ? firstPixel + offset : nullptr;
        offset += lines[i].PixelCount;
    }
}

void RepointBlobs(std::vector<IGreyscaleBlobData>& blobs, std::vector<IGreyscaleLineData>& lines,
                  const std::vector<std::uint8_t>& pixels)
{
    std::size_t firstLine = 0;
    for (IGreyscaleBlobData& blob : blobs)
    {
        blob.Lines = blob.LineCount > 0 ? lines.data() + firstLine : nullptr;
        firstLine += blob.LineCount;
    }
    RepointLines(lines.data(), lines.size(), pixels.data());
}

bool Aliases(const IGreyscaleBlobData& blob, const std::vector<IGreyscaleLineData>& lines,
             const std::vector<std::uint8_t>& pixels)
{
    if (PointsInto(blob.Lines, lines))
    {
        return true;
    }
    for (std::uint16_t i = 0; i < LineCountOf(blob); ++i)
    {
        if (PointsInto(blob.Lines[i].Pixels, pixels))
        {
            return true;
        }
    }
    return false;
}

} // namespace GreyscaleStorage
