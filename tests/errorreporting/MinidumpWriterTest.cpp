// Minidumps of a live process: every thread, the streams in order, the crash, the comments,
// and full memory only when asked for.
#include "support/MinidumpFile.h"
#include "VReportTarget.h"

#include "errorreporting/VMinidumpWriter.h"
#include "errorreporting/VTracedProcess.h"
#include "FileIO/ByteCodec.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <set>

using testsupport::Obj2YamlStreamTypes;
using testsupport::VMinidumpFile;

namespace
{

constexpr std::uint32_t kSystemInfo = 7, kThreadList = 3, kModuleList = 4, kMemoryList = 5,
                        kException = 6, kMemory64List = 9, kCommentA = 10, kCommentW = 11,
                        kProcStatus = 0x47670004, kCmdLine = 0x47670006, kAuxv = 0x47670008,
                        kMaps = 0x47670009;

std::set<std::uint32_t> TasksOf(pid_t pid)
{
    std::set<std::uint32_t> tasks;
    const std::string path = "/proc/" + std::to_string(pid) + "/task";
    DIR* directory = opendir(path.c_str());
    while (directory != nullptr)
    {
        const dirent* entry = readdir(directory);
        if (entry == nullptr)
            break;
        if (entry->d_name[0] != '.')
            tasks.insert(static_cast<std::uint32_t>(std::stoul(entry->d_name)));
    }
    if (directory != nullptr)
        closedir(directory);
    return tasks;
}

/// A dump of `target` written into a fresh file; the path, or empty when writing failed.
std::string WriteDump(const VReportTarget& target, const VMinidumpContent& content)
{
    VTracedProcess process(target.GetPid());
    if (!process.Attach() || !process.OpenMemory())
        return {};
    char path[] = "/tmp/tsm-minidump-XXXXXX";
    const int fd = mkstemp(path);
    const bool written = fd >= 0 && VMinidumpWriter(process, fd).Write(content);
    if (fd >= 0)
        close(fd);
    if (!written)
    {
        unlink(path);
        return {};
    }
    return path;
}

class VRemoveFile
{
public:
    explicit VRemoveFile(std::string path) : m_Path(std::move(path)) {}
    ~VRemoveFile()
    {
        if (!m_Path.empty())
            unlink(m_Path.c_str());
    }

private:
    std::string m_Path;
};

} // namespace

TEST(MinidumpWriter, WritesEveryThreadTheCrashAndTheStreamsInOrder)
{
    VReportTarget target;
    ASSERT_TRUE(target.IsRunning());
    VMinidumpContent content;
    content.m_WithException = true;
    content.m_CrashRecordAddress = target.GetRecordAddress();
    content.m_CrashedThreadId = target.GetCrashedThreadId();
    content.m_IncidentId = "tsmCL-20240229-235958";
    content.m_Comments = "";
    const std::string path = WriteDump(target, content);
    const VRemoveFile cleanup(path);
    ASSERT_FALSE(path.empty());

    const VMinidumpFile dump(path);
    ASSERT_TRUE(dump.IsValid());
    EXPECT_EQ(dump.GetTypes(), (std::vector<std::uint32_t>{
                                   kSystemInfo, kThreadList, kModuleList, kMemoryList, kException,
                                   kProcStatus, kCmdLine, kAuxv, kMaps, kCommentW, kCommentA}));

    // Every thread, each with its stack.
    const std::vector<std::uint8_t> threads = dump.GetStream(kThreadList);
    ASSERT_GE(threads.size(), 4u);
    const std::uint32_t threadCount = LittleEndian::LoadU32(threads.data());
    ASSERT_EQ(threads.size(), 4u + 48u * threadCount);
    std::set<std::uint32_t> dumped;
    for (std::uint32_t i = 0; i < threadCount; ++i)
    {
        const std::uint8_t* entry = threads.data() + 4 + 48 * i;
        dumped.insert(LittleEndian::LoadU32(entry));
        EXPECT_GT(LittleEndian::LoadU32(entry + 32), 0u) << "thread " << i << " has no stack";
        EXPECT_EQ(LittleEndian::LoadU32(entry + 40), 1232u) << "AMD64 context";
    }
    EXPECT_EQ(dumped, TasksOf(target.GetPid()));
    EXPECT_GE(dumped.size(), 3u) << "the target's own three (a sanitizer may add more)";

    // The crash: SIGSEGV on the main thread at the recorded address.
    const std::vector<std::uint8_t> exception = dump.GetStream(kException);
    ASSERT_EQ(exception.size(), 168u);
    EXPECT_EQ(LittleEndian::LoadU32(exception.data()), target.GetCrashedThreadId());
    EXPECT_EQ(LittleEndian::LoadU32(exception.data() + 8), static_cast<std::uint32_t>(SIGSEGV));
    EXPECT_EQ(LittleEndian::LoadU64(exception.data() + 24), 0x10u);

    // The comments: the incident ID as UTF-16 and the empty comments, terminators included.
    const std::u16string incident = u"tsmCL-20240229-235958";
    EXPECT_EQ(VMinidumpFile::AsUtf16(dump.GetStream(kCommentW)), incident + u'\0');
    EXPECT_EQ(dump.GetStream(kCommentA), std::vector<std::uint8_t>{0});

    // The process's own name among the modules, and its maps.
    EXPECT_TRUE(dump.Contains("tsm_errorreporting_tests"));
    const std::vector<std::uint8_t> maps = dump.GetStream(kMaps);
    EXPECT_NE(std::string(maps.begin(), maps.end()).find("[stack]"), std::string::npos);

    int exitCode = -1;
    std::string errors;
    const std::vector<std::string> listed = Obj2YamlStreamTypes(path, &exitCode, &errors);
    EXPECT_EQ(exitCode, 0) << errors;
    EXPECT_EQ(listed.size(), 11u) << errors;
}

TEST(MinidumpWriter, FullMemoryOnlyWhenAskedAndNoCrashWithoutTheExceptionArguments)
{
    VReportTarget target;
    ASSERT_TRUE(target.IsRunning());
    const std::string marker = VReportTarget::HeapMarker();

    // Only a process id: no exception stream; stacks only, so the heap stays out.
    VMinidumpContent content;
    content.m_IncidentId = "t-20240101-000000";
    content.m_Comments = "stopped while idle";
    const std::string normalPath = WriteDump(target, content);
    const VRemoveFile normalCleanup(normalPath);
    ASSERT_FALSE(normalPath.empty());
    const VMinidumpFile normal(normalPath);
    ASSERT_TRUE(normal.IsValid());
    const std::vector<std::uint32_t> types = normal.GetTypes();
    EXPECT_EQ(std::count(types.begin(), types.end(), kException), 0);
    EXPECT_EQ(std::count(types.begin(), types.end(), kMemory64List), 0);
    EXPECT_FALSE(normal.ReadMemory(target.GetHeapMarkerAddress(), marker.size()));
    const std::vector<std::uint8_t> comments = normal.GetStream(kCommentA);
    EXPECT_EQ(std::string(comments.begin(), comments.end()),
              std::string("stopped while idle") + '\0');

    // The detailed dump holds every readable mapping, the heap among them.
    content.m_FullMemory = true;
    const std::string fullPath = WriteDump(target, content);
    const VRemoveFile fullCleanup(fullPath);
    ASSERT_FALSE(fullPath.empty());
    const VMinidumpFile full(fullPath);
    ASSERT_TRUE(full.IsValid());
    EXPECT_EQ(full.GetTypes().back(), kMemory64List);
    const auto heap = full.ReadMemory(target.GetHeapMarkerAddress(), marker.size());
    ASSERT_TRUE(heap);
    EXPECT_EQ(std::string(heap->begin(), heap->end()), marker);
    // The 64-bit memory list: its ranges follow one another in the data that starts at its
    // base, and the data ends the file.
    const std::vector<std::uint8_t> list = full.GetStream(kMemory64List);
    ASSERT_GE(list.size(), 16u);
    const std::uint64_t count = LittleEndian::LoadU64(list.data());
    ASSERT_EQ(list.size(), 16 + 16 * count);
    std::uint64_t end = LittleEndian::LoadU64(list.data() + 8);
    for (std::uint64_t i = 0; i < count; ++i)
        end += LittleEndian::LoadU64(list.data() + 16 + 16 * i + 8);
    EXPECT_EQ(end, full.GetSize());
}

TEST(MinidumpWriter, RefusesACrashRecordThatIsNotOne)
{
    VReportTarget target;
    ASSERT_TRUE(target.IsRunning());
    VMinidumpContent content;
    content.m_WithException = true;
    content.m_CrashedThreadId = target.GetCrashedThreadId();
    // Unmapped memory, then readable memory that holds no record.
    for (const std::uint64_t address : {std::uint64_t{0x10}, target.GetRecordAddress() + 8})
    {
        content.m_CrashRecordAddress = address;
        EXPECT_TRUE(WriteDump(target, content).empty()) << std::hex << address;
    }
}

TEST(TracedProcess, AttachingToWhatCannotBeTracedFails)
{
    // A process that does not exist (the target, once it has gone).
    pid_t gone = 0;
    {
        VReportTarget target;
        gone = target.GetPid();
    }
    VTracedProcess missing(gone);
    EXPECT_FALSE(missing.Attach());

    // A process that another tracer already holds.
    VReportTarget target;
    ASSERT_TRUE(target.IsRunning());
    VTracedProcess first(target.GetPid());
    ASSERT_TRUE(first.Attach());
    EXPECT_EQ(first.GetThreads().size(), TasksOf(target.GetPid()).size());
    VTracedProcess second(target.GetPid());
    EXPECT_FALSE(second.Attach());
}
