#include "Tools/Verified/Tessal/VMainWindow.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace
{

constexpr int kWaitMs = 10000;

// A shell script named tsmCL in a temporary folder, standing in for the real program where a
// test needs a child of known behaviour.
class StandInTsmCL
{
public:
    explicit StandInTsmCL(const QByteArray& body)
    {
        QFile script(m_Dir.filePath("tsmCL"));
        if (!m_Dir.isValid() || !script.open(QIODevice::WriteOnly))
        {
            ADD_FAILURE() << "cannot write the stand-in tsmCL";
            return;
        }
        script.write("#!/bin/sh\n" + body);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString Directory() const { return m_Dir.path(); }

private:
    QTemporaryDir m_Dir;
};

// Named parts of a window, found the way a user would see them.
struct WindowParts
{
    explicit WindowParts(VMainWindow& window)
        : x1d(window.findChild<QLineEdit*>("X1DPath")),
          x2d(window.findChild<QLineEdit*>("X2DPath")),
          browseX1D(window.findChild<QAbstractButton*>("BrowseX1D")),
          browseX2D(window.findChild<QAbstractButton*>("BrowseX2D")),
          stream(window.findChild<QPushButton*>("Stream")),
          stop(window.findChild<QPushButton*>("Stop")),
          command(window.findChild<QPlainTextEdit*>("Command")),
          output(window.findChild<QPlainTextEdit*>("Output")),
          led(window.findChild<QLabel*>("LED")), process(window.findChild<QProcess*>())
    {
    }

    bool Complete() const
    {
        return x1d && x2d && browseX1D && browseX2D && stream && stop && command && output && led &&
               process;
    }

    QStringList OutputLines() const
    {
        QStringList lines;
        for (QTextBlock block = output->document()->begin(); block.isValid(); block = block.next())
        {
            lines << block.text();
        }
        return lines;
    }

    bool LEDShows(const char* resource) const
    {
        return led->pixmap().toImage() ==
               QImage(resource).convertToFormat(led->pixmap().toImage().format());
    }

    // Whether every control shows the state of a running child, or of none.
    void ExpectRunning(bool running) const
    {
        EXPECT_EQ(x1d->isEnabled(), !running);
        EXPECT_EQ(x2d->isEnabled(), !running);
        EXPECT_EQ(browseX1D->isEnabled(), !running);
        EXPECT_EQ(browseX2D->isEnabled(), !running);
        EXPECT_EQ(stream->isEnabled(), !running);
        EXPECT_EQ(stop->isEnabled(), running);
        EXPECT_TRUE(LEDShows(running ? ":/com.Orvan.Tessal.LEDRingOn.png"
                                     : ":/com.Orvan.Tessal.LEDRingOff.png"));
    }

    QLineEdit* x1d;
    QLineEdit* x2d;
    QAbstractButton* browseX1D;
    QAbstractButton* browseX2D;
    QPushButton* stream;
    QPushButton* stop;
    QPlainTextEdit* command;
    QPlainTextEdit* output;
    QLabel* led;
    QProcess* process;
};

bool ProcessIsGone(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}

void ClearSettings()
{
    QSettings settings;
    settings.clear();
    settings.sync();
}

} // namespace

TEST(LauncherCommand, QuotesTsmCLAndEachGivenPath)
{
    const QString dir = "/opt/tsm/bin";

    // No file: only the quoted program, which then prints its usage.
    EXPECT_EQ(VMainWindow::BuildCommand(dir, "", ""), "\"/opt/tsm/bin/tsmCL\"");
    EXPECT_TRUE(VMainWindow::BuildArguments("", "").isEmpty());

    // One file, either one.
    EXPECT_EQ(VMainWindow::BuildCommand(dir, "/t/a.x1d", ""),
              "\"/opt/tsm/bin/tsmCL\" -x1d \"/t/a.x1d\"");
    EXPECT_EQ(VMainWindow::BuildCommand(dir, "", "/t/b.x2d"),
              "\"/opt/tsm/bin/tsmCL\" -x2d \"/t/b.x2d\"");

    // Both files: X1D first.
    EXPECT_EQ(VMainWindow::BuildCommand(dir, "/t/a.x1d", "/t/b.x2d"),
              "\"/opt/tsm/bin/tsmCL\" -x1d \"/t/a.x1d\" -x2d \"/t/b.x2d\"");
    EXPECT_EQ(VMainWindow::BuildArguments("/t/a.x1d", "/t/b.x2d"),
              QStringList({"-x1d", "/t/a.x1d", "-x2d", "/t/b.x2d"}));

    // Blanks in the folder and the paths: each path stays one argument, and the shown
    // command splits into exactly the program and arguments that are started.
    const QString blankDir = "/home/me/my tools";
    const QString x1d = "/data/walk trial/take 01.x1d";
    const QString x2d = "/data/walk trial/take 01.x2d";
    const QString command = VMainWindow::BuildCommand(blankDir, x1d, x2d);
    EXPECT_EQ(command, "\"/home/me/my tools/tsmCL\" -x1d \"/data/walk trial/take 01.x1d\" "
                       "-x2d \"/data/walk trial/take 01.x2d\"");
    EXPECT_EQ(QProcess::splitCommand(command),
              QStringList({"/home/me/my tools/tsmCL", "-x1d", x1d, "-x2d", x2d}));
    EXPECT_EQ(QStringList(VMainWindow::TsmCLPath(blankDir)) + VMainWindow::BuildArguments(x1d, x2d),
              QProcess::splitCommand(command));
}

TEST(LauncherWindow, BuildsTheWindowAndFollowsTheFields)
{
    ClearSettings();
    VMainWindow window("/opt/tsm/bin");
    WindowParts parts(window);
    ASSERT_TRUE(parts.Complete());

    EXPECT_EQ(window.windowTitle(), "Orvan Tessal 1.2.1");
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_FALSE(parts.browseX1D->icon().isNull());
    EXPECT_EQ(parts.command->height(), 75);
    EXPECT_TRUE(parts.command->isReadOnly());
    EXPECT_TRUE(parts.output->isReadOnly());

    QStringList labels;
    for (const QLabel* label : window.findChildren<QLabel*>())
    {
        labels << label->text();
    }
    EXPECT_TRUE(labels.contains("Device Data File (X1D): "));
    EXPECT_TRUE(labels.contains("Camera Data File (X2D): "));
    EXPECT_TRUE(labels.contains("Tip: Cut & Paste the above command into a script or batch file"));

    QGroupBox* outputBox = nullptr;
    QStringList groups;
    for (QGroupBox* box : window.findChildren<QGroupBox*>())
    {
        groups << box->title();
        if (box->title() == "Output")
        {
            outputBox = box;
        }
    }
    EXPECT_TRUE(groups.contains("Command"));
    ASSERT_NE(outputBox, nullptr);
    EXPECT_EQ(outputBox->layout()->contentsMargins(), QMargins(3, 3, 3, 3));

    // At start: the command of the (empty) fields, "Stream" on, "Stop" off, LED dark.
    EXPECT_EQ(parts.command->toPlainText(), "\"/opt/tsm/bin/tsmCL\"");
    parts.ExpectRunning(false);

    // Typing into either field rebuilds the command at once.
    parts.x1d->setText("/t/a b.x1d");
    EXPECT_EQ(parts.command->toPlainText(), "\"/opt/tsm/bin/tsmCL\" -x1d \"/t/a b.x1d\"");
    parts.x2d->setText("/t/c.x2d");
    EXPECT_EQ(parts.command->toPlainText(),
              "\"/opt/tsm/bin/tsmCL\" -x1d \"/t/a b.x1d\" -x2d \"/t/c.x2d\"");
    parts.x1d->clear();
    EXPECT_EQ(parts.command->toPlainText(), "\"/opt/tsm/bin/tsmCL\" -x2d \"/t/c.x2d\"");

    // The dark palette reaches the drawn window.
    window.show();
    const QImage shot = window.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.pixelColor(1, 1), QColor(80, 80, 80));
}

TEST(LauncherWindow, BrowseTakesAnAnswerAndIgnoresACancel)
{
    ClearSettings();
    VMainWindow window("/opt/tsm/bin");
    WindowParts parts(window);
    ASSERT_TRUE(parts.Complete());
    parts.x1d->setText("/t/old.x1d");
    parts.x2d->setText("/t/old.x2d");

    QString answer;
    QStringList asked;
    window.SetFileChooser(
        [&](QWidget* parent, const QString& caption, const QString& start, const QString& filter)
        {
            EXPECT_EQ(parent, &window);
            asked << caption << start << filter;
            return answer;
        });

    // Cancelled dialogs: both fields and the command stay as they were.
    const QString commandBefore = parts.command->toPlainText();
    parts.browseX1D->click();
    parts.browseX2D->click();
    EXPECT_EQ(parts.x1d->text(), "/t/old.x1d");
    EXPECT_EQ(parts.x2d->text(), "/t/old.x2d");
    EXPECT_EQ(parts.command->toPlainText(), commandBefore);
    EXPECT_EQ(asked, QStringList({"Locate X1D", "/t/old.x1d", "*.x1d", "Locate X2D", "/t/old.x2d",
                                  "*.x2d"}));

    // An answer replaces only its own field and rebuilds the command.
    answer = "/t/new trial.x2d";
    parts.browseX2D->click();
    EXPECT_EQ(parts.x1d->text(), "/t/old.x1d");
    EXPECT_EQ(parts.x2d->text(), "/t/new trial.x2d");
    EXPECT_EQ(parts.command->toPlainText(),
              "\"/opt/tsm/bin/tsmCL\" -x1d \"/t/old.x1d\" -x2d \"/t/new trial.x2d\"");
}

TEST(LauncherWindow, StreamShowsEachOutputLineAsTyped)
{
    // Lines come one paragraph each, markup is not interpreted, and a last line without a
    // line end (tsmCL's usage is printed that way) is not lost.
    StandInTsmCL standIn("for a in \"$@\"; do echo \"arg[$a]\"; done\n"
                         "echo '<b>not bold</b> &lt;'\n"
                         "printf 'last line without end'\n");
    ClearSettings();
    VMainWindow window(standIn.Directory());
    WindowParts parts(window);
    ASSERT_TRUE(parts.Complete());
    parts.x1d->setText("/data/walk trial/take 01.x1d");
    parts.output->appendPlainText("left over from an earlier run");

    parts.stream->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return parts.process->state() == QProcess::NotRunning; }, kWaitMs))
        << "the stand-in did not end";
    EXPECT_EQ(parts.process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(parts.OutputLines(), QStringList({"arg[-x1d]", "arg[/data/walk trial/take 01.x1d]",
                                                "<b>not bold</b> &lt;", "last line without end"}));
    parts.ExpectRunning(false);
}

TEST(LauncherWindow, StopKillsTheRunningChild)
{
    StandInTsmCL standIn("echo \"running $$\"\nexec sleep 60\n");
    ClearSettings();
    VMainWindow window(standIn.Directory());
    WindowParts parts(window);
    ASSERT_TRUE(parts.Complete());
    window.show();

    parts.stream->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return parts.OutputLines().last().startsWith("running"); }, kWaitMs))
        << "no output from the running stand-in";
    const qint64 pid = parts.process->processId();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(parts.OutputLines().last(), QString("running %1").arg(pid));
    parts.ExpectRunning(true);
    EXPECT_TRUE(parts.stop->hasFocus());

    parts.stop->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return parts.process->state() == QProcess::NotRunning; }, kWaitMs))
        << "Stop did not end the child";
    EXPECT_TRUE(ProcessIsGone(pid));
    parts.ExpectRunning(false);
    EXPECT_TRUE(parts.stream->hasFocus());

    // Stream works again after a stop.
    parts.stream->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return parts.OutputLines().last().startsWith("running"); }, kWaitMs));
    EXPECT_EQ(parts.OutputLines().size(), 1) << "the output of the first run was not cleared";
    parts.stop->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return parts.process->state() == QProcess::NotRunning; }, kWaitMs));
}

TEST(LauncherWindow, ClosingTheWindowKillsTheRunningChild)
{
    StandInTsmCL standIn("echo started\nexec sleep 60\n");
    ClearSettings();
    VMainWindow window(standIn.Directory());
    WindowParts parts(window);
    ASSERT_TRUE(parts.Complete());
    window.show();

    parts.stream->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return parts.process->state() == QProcess::Running; }, kWaitMs));
    const qint64 pid = parts.process->processId();
    ASSERT_GT(pid, 0);

    EXPECT_TRUE(window.close());
    // The close itself waits for the child, so it is gone (and reaped) right away.
    EXPECT_EQ(parts.process->state(), QProcess::NotRunning);
    EXPECT_TRUE(ProcessIsGone(pid));
}

TEST(LauncherWindow, DestroyingTheWindowKillsTheRunningChild)
{
    StandInTsmCL standIn("exec sleep 60\n");
    ClearSettings();
    qint64 pid = 0;
    {
        VMainWindow window(standIn.Directory());
        WindowParts parts(window);
        ASSERT_TRUE(parts.Complete());
        parts.stream->click();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return parts.process->state() == QProcess::Running; }, kWaitMs));
        pid = parts.process->processId();
    }
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(ProcessIsGone(pid));
}

TEST(LauncherWindow, ReportsATsmCLThatCannotStart)
{
    QTemporaryDir emptyDir;
    ASSERT_TRUE(emptyDir.isValid());
    ClearSettings();
    VMainWindow window(emptyDir.path());
    WindowParts parts(window);
    ASSERT_TRUE(parts.Complete());

    parts.stream->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return parts.process->state() == QProcess::NotRunning; }, kWaitMs));
    const QStringList lines = parts.OutputLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().startsWith("Could not start " + emptyDir.path() + "/tsmCL: "))
        << lines.first().toStdString();
    parts.ExpectRunning(false);
}

TEST(LauncherWindow, SettingsWrittenAtCloseAreReadAtTheNextStart)
{
    ClearSettings();

    // First start: nothing saved yet, so the defaults.
    {
        VMainWindow window("/opt/tsm/bin");
        WindowParts parts(window);
        ASSERT_TRUE(parts.Complete());
        EXPECT_EQ(window.size(), QSize(400, 400));
        EXPECT_EQ(window.pos(), QPoint(200, 200));
        EXPECT_TRUE(parts.x1d->text().isEmpty());
        EXPECT_TRUE(parts.x2d->text().isEmpty());

        window.show();
        window.resize(640, 520);
        window.move(120, 90);
        parts.x1d->setText("/data/walk trial/take 01.x1d");
        parts.x2d->setText("/data/walk trial/take 01.x2d");
        EXPECT_TRUE(window.close());
    }

    // Next start: the same geometry and paths, and the command made from them.
    VMainWindow window("/opt/tsm/bin");
    WindowParts parts(window);
    ASSERT_TRUE(parts.Complete());
    EXPECT_EQ(window.size(), QSize(640, 520));
    EXPECT_EQ(window.pos(), QPoint(120, 90));
    EXPECT_EQ(parts.x1d->text(), "/data/walk trial/take 01.x1d");
    EXPECT_EQ(parts.x2d->text(), "/data/walk trial/take 01.x2d");
    EXPECT_EQ(parts.command->toPlainText(),
              "\"/opt/tsm/bin/tsmCL\" -x1d \"/data/walk trial/take 01.x1d\" -x2d \"/data/walk "
              "trial/take 01.x2d\"");

    // They live in the launcher's own store, group "MainWindow".
    QSettings settings("Orvan", "FakeZt Launcher");
    EXPECT_EQ(settings.value("MainWindow/X1DPath").toString(), "/data/walk trial/take 01.x1d");
    EXPECT_EQ(settings.value("MainWindow/size").toSize(), QSize(640, 520));
}
