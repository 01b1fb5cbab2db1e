// The launcher together with the real tsmCL built beside it.
#include "Tools/Verified/Tessal/VMainWindow.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace
{

constexpr int kWaitMs = 10000;

const char* const kUsage = "Usage : tsm [-localip <local_ip_address>] [-halip <hal_ip_address>] "
                           "[-x1d <trial.x1d>] [-x2d <trial.x2d>]";

} // namespace

TEST(LauncherWithTsmCL, StreamRunsTsmCLAndShowsItsUsage)
{
    QSettings().clear();
    VMainWindow window(TSM_TSMCL_DIR);
    auto* stream = window.findChild<QPushButton*>("Stream");
    auto* output = window.findChild<QPlainTextEdit*>("Output");
    auto* process = window.findChild<QProcess*>();
    ASSERT_TRUE(stream && output && process);

    // Both fields empty: tsmCL starts, rejects the missing trial file with its usage and
    // exit code 1, and every line it printed is in the output box, the unterminated usage
    // line last.
    stream->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return process->state() == QProcess::NotRunning; }, kWaitMs))
        << "tsmCL did not end";
    ASSERT_EQ(process->error(), QProcess::UnknownError)
        << "tsmCL did not start: " << process->errorString().toStdString();
    EXPECT_EQ(process->exitCode(), 1);
    QStringList lines;
    for (QTextBlock block = output->document()->begin(); block.isValid(); block = block.next())
    {
        lines << block.text();
    }
    ASSERT_GE(lines.size(), 2) << "expected the banner before the usage";
    EXPECT_EQ(lines.last(), kUsage) << lines.join('\n').toStdString();
    EXPECT_TRUE(stream->isEnabled());
}
