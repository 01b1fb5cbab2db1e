// End to end with the real programs on loopback: tsmhost serves its data stream, tsmCL's
// latency stream client matches it against the frames the rig sent, and at exit the CSV and
// the summary line agree. Binds the protocol's fixed ports.
#include "support/FileBytes.h"
#include "support/LoopbackPort.h"
#include "support/VChildProcess.h"
#include "support/VTempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;

namespace
{

/// Makes a folder the working directory (tsmCL writes Latency.csv there) while it lives.
class VWorkingDirectory
{
public:
    explicit VWorkingDirectory(const std::string& path)
        : m_Previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~VWorkingDirectory() { std::filesystem::current_path(m_Previous); }
    VWorkingDirectory(const VWorkingDirectory&) = delete;
    VWorkingDirectory& operator=(const VWorkingDirectory&) = delete;

private:
    std::filesystem::path m_Previous;
};

} // namespace

TEST(LatencyEndToEnd, TheHistogramOfAHostRunCountsTheFramesItMatched)
{
    const VTempDir work;
    const VWorkingDirectory inWork(work.Path());
    const std::string port = std::to_string(FreeLoopbackTcpPort());
    // The host first, so the stream client is connected before the rig streams and the whole
    // run is the window. (That tsmCL may also start first is the monitor test's concern.)
    VChildProcess host;
    ASSERT_TRUE(host.Start({TSMHOST_PATH, "run", "--hal", "127.0.0.1", "--duration", "5", "--rate",
                            "100", "--serve-stream", port, "--json"}));
    const auto started = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - started < 10s &&
           host.Stderr().find("serving the data stream") == std::string::npos)
        std::this_thread::sleep_for(20ms);
    ASSERT_NE(host.Stderr().find("serving the data stream on 127.0.0.1:" + port + "\n"),
              std::string::npos)
        << host.Stderr();
    VChildProcess simulator;
    ASSERT_TRUE(simulator.Start({TSMCL_PATH, "-localip", "127.0.0.1", "-halip", "127.0.0.1", "-x2d",
                                 TSM_SAMPLE_X2D, "-latency", "127.0.0.1:" + port}));
    ASSERT_TRUE(host.WaitForExit(60s)) << host.Stderr();
    simulator.Signal(SIGINT);
    ASSERT_TRUE(simulator.WaitForExit(10s));
    EXPECT_EQ(simulator.ExitCode(), 0) << simulator.Stderr();
    ASSERT_EQ(host.ExitCode(), 0) << host.Stderr() << host.Stdout();
    EXPECT_NE(simulator.Stdout().find("Latency : 127.0.0.1:" + port + "\n"), std::string::npos);

    // Frames sent in the window: what the host received from the busiest device.
    const QJsonObject summary =
        QJsonDocument::fromJson(QByteArray::fromStdString(host.Stdout())).object();
    double received = 0.0;
    for (const QJsonValue& device : summary["devices"].toArray())
        received = std::max(received, device.toObject()["frames"].toDouble());
    EXPECT_GT(received, 450.0) << "5 s at 100 Hz";

    // Exactly one summary line.
    const std::string& out = simulator.Stdout();
    const std::regex line("Latency: ([0-9]+) frames matched, median ([0-9]+) ms, p99 ([0-9]+) "
                          "ms, max ([0-9]+) ms\n");
    std::smatch figures;
    ASSERT_TRUE(std::regex_search(out, figures, line)) << out.substr(out.size() - 500);
    EXPECT_EQ(out.find("Latency: "), out.rfind("Latency: "));
    const double matched = std::stod(figures[1].str());
    EXPECT_GE(matched, 0.95 * received) << host.Stderr();

    // The CSV's counts add up to the frames matched.
    std::istringstream csv(ReadText(work.File("Latency.csv")));
    std::string header;
    ASSERT_TRUE(std::getline(csv, header)) << "no Latency.csv";
    EXPECT_EQ(header, "Latency,Frequency");
    double total = 0.0;
    std::string entry;
    std::smatch fields;
    while (std::getline(csv, entry))
    {
        ASSERT_TRUE(std::regex_match(entry, fields, std::regex("([0-9]+), ([0-9]+)"))) << entry;
        total += std::stod(fields[2].str());
    }
    EXPECT_EQ(total, matched);
    std::printf("Frames received by the host %.0f, matched %.0f; median %s ms, p99 %s ms, "
                "max %s ms\n%s",
                received, matched, figures[2].str().c_str(), figures[3].str().c_str(),
                figures[4].str().c_str(), host.Stderr().c_str());
}
