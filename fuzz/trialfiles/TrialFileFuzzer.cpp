// libFuzzer entry for the trial-file readers: the bytes are opened as an X2D file and as an
// X1D file, and every frame of the index is read. Whatever the input, the readers must not
// crash, hang or allocate without bound.
#include "FileIO/VAnalogueBlockFrame.h"
#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX1DImport.h"
#include "FileIO/X2DIO/VX2DImport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
/// The input as a file: one memory file for the whole run, rewritten per input and opened
/// by path like any trial file.
const std::string& InputPath(const std::uint8_t* data, std::size_t size)
{
    static const int file = ::memfd_create("trial-input", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    if (::ftruncate(file, 0) != 0 ||
        (size > 0 && ::pwrite(file, data, size, 0) != static_cast<ssize_t>(size)))
    {
        __builtin_trap();
    }
    return path;
}

void ReadX2D(const std::string& path, bool rebuildIndex)
{
    VX2DImport import(1);
    if (!import.Open(path, rebuildIndex))
    {
        return;
    }
    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame greyscale;
    VEdgePairFrame edges;
    std::vector<std::uint32_t> numbers;
    const std::uint32_t count = import.GetFrameNumbers(numbers);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        import.ReadFrame(i, &centroids, &tracks, &greyscale, &edges);
    }
    // Again without frames (decoded and dropped), and by number.
    for (std::uint32_t i = 0; i < count; ++i)
    {
        import.ReadFrameByNumber(numbers[i], nullptr, nullptr, nullptr, nullptr);
    }
    VTimecode start;
    import.GetStartTimecode(start);
    std::vector<CameraInfoRecord> cameras;
    double rate = 0.0;
    import.GetCameraInfo(cameras, rate);
}

void ReadX1D(const std::string& path)
{
    VX1DImport import(1);
    if (!import.Open(path))
    {
        return;
    }
    VAnalogueBlockFrame frame;
    std::vector<std::uint32_t> numbers;
    const std::uint32_t count = import.GetFrameNumbers(numbers);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        import.ReadFrame(i, &frame);
    }
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    std::vector<VAnalogueSourceSetSpec> sets;
    import.GetAnalogueSourceSets(first, second, sets);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = InputPath(data, size);
    ReadX2D(path, (size & 1) == 0);
    ReadX1D(path);
    return 0;
}
