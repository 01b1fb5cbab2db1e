#include "Tools/Verified/Tessal/VMainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace
{

const char* const kLEDRingOn = ":/com.Orvan.Tessal.LEDRingOn.png";
const char* const kLEDRingOff = ":/com.Orvan.Tessal.LEDRingOff.png";
const char* const kBrowseIcon = ":/com.Orvan.Tessal.Browse.png";

// Keys are read and written with the same spelling: the Linux settings store tells case
// apart, so a key read as "Size" would never find one written as "size".
const char* const kSettingsGroup = "MainWindow";
const char* const kSizeKey = "size";
const char* const kPosKey = "pos";
const char* const kX1DPathKey = "X1DPath";
const char* const kX2DPathKey = "X2DPath";

// tsmCL runs for as long as the user wants and logs every command it receives; the oldest
// paragraphs go first so that a long session cannot eat the machine's memory.
constexpr int kMaxOutputParagraphs = 20000;

// SIGKILL ends the child at once; the wait only covers the kernel's reaping.
constexpr int kKillWaitMs = 5000;

QString DefaultFileChooser(QWidget* parent, const QString& caption, const QString& startPath,
                           const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, startPath, filter);
}

} // namespace

VMainWindow::VMainWindow(const QString& tsmCLDirectory, QWidget* parent)
    : QWidget(parent),
      m_TsmCLDirectory(tsmCLDirectory.isEmpty() ? QCoreApplication::applicationDirPath()
                                                : tsmCLDirectory),
      m_FileChooser(DefaultFileChooser)
{
    BuildWidgets();
    ConnectSignals();
    ReadSettings();
    UpdateCommand();
}

VMainWindow::~VMainWindow()
{
    // The child must not outlive its window, even when the window goes without a close; its
    // last signals must not reach a window that is half torn down.
    m_Process->disconnect(this);
    KillCommand();
    m_Process->waitForFinished(kKillWaitMs);
}

void VMainWindow::SetFileChooser(FileChooser chooser)
{
    m_FileChooser = chooser ? std::move(chooser) : FileChooser(DefaultFileChooser);
}

QString VMainWindow::TsmCLPath(const QString& tsmCLDirectory)
{
    return QDir::fromNativeSeparators(tsmCLDirectory) + QStringLiteral("/tsmCL");
}

QStringList VMainWindow::BuildArguments(const QString& x1dPath, const QString& x2dPath)
{
    QStringList arguments;
    if (!x1dPath.isEmpty())
    {
        arguments << QStringLiteral("-x1d") << x1dPath;
    }
    if (!x2dPath.isEmpty())
    {
        arguments << QStringLiteral("-x2d") << x2dPath;
    }
    return arguments;
}

QString VMainWindow::BuildCommand(const QString& tsmCLDirectory, const QString& x1dPath,
                                  const QString& x2dPath)
{
    QString command = QLatin1Char('"') + TsmCLPath(tsmCLDirectory) + QLatin1Char('"');
    if (!x1dPath.isEmpty())
    {
        command += QStringLiteral(" -x1d \"") + x1dPath + QLatin1Char('"');
    }
    if (!x2dPath.isEmpty())
    {
        command += QStringLiteral(" -x2d \"") + x2dPath + QLatin1Char('"');
    }
    return command;
}

void VMainWindow::BuildWidgets()
{
    m_X1DPath = new QLineEdit(this);
    m_X1DPath->setObjectName(QStringLiteral("X1DPath"));
    m_BrowseX1D = new QToolButton(this);
    m_BrowseX1D->setIcon(QIcon(kBrowseIcon));
    m_BrowseX1D->setObjectName(QStringLiteral("BrowseX1D"));
    m_X2DPath = new QLineEdit(this);
    m_X2DPath->setObjectName(QStringLiteral("X2DPath"));
    m_BrowseX2D = new QToolButton(this);
    m_BrowseX2D->setIcon(QIcon(kBrowseIcon));
    m_BrowseX2D->setObjectName(QStringLiteral("BrowseX2D"));
    m_Stream = new QPushButton(QStringLiteral("Stream"), this);
    m_Stream->setObjectName(QStringLiteral("Stream"));
    m_Stop = new QPushButton(QStringLiteral("Stop"), this);
    m_Stop->setObjectName(QStringLiteral("Stop"));
    m_Stop->setEnabled(false);

    m_Command = new QPlainTextEdit(this);
    m_Command->setObjectName(QStringLiteral("Command"));
    m_Command->setReadOnly(true);
    m_Command->setFixedHeight(75);

    m_Output = new QPlainTextEdit(this);
    m_Output->setObjectName(QStringLiteral("Output"));
    m_Output->setReadOnly(true);
    m_Output->setMaximumBlockCount(kMaxOutputParagraphs);
    m_Output->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    m_LED = new QLabel(this);
    m_LED->setObjectName(QStringLiteral("LED"));
    m_LED->setPixmap(QPixmap(kLEDRingOff));

    m_Process = new QProcess(this);
    m_Process->setProcessChannelMode(QProcess::MergedChannels);
    m_Process->setReadChannel(QProcess::StandardOutput);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Device Data File (X1D): "), this), 0, 0,
                    Qt::AlignRight);
    grid->addWidget(m_X1DPath, 0, 1, 1, 3);
    grid->addWidget(m_BrowseX1D, 0, 4);
    grid->addWidget(new QLabel(QStringLiteral("Camera Data File (X2D): "), this), 1, 0,
                    Qt::AlignRight);
    grid->addWidget(m_X2DPath, 1, 1, 1, 3);
    grid->addWidget(m_BrowseX2D, 1, 4);

    auto* commandBox = new QGroupBox(QStringLiteral("Command"), this);
    auto* commandLayout = new QVBoxLayout(commandBox);
    commandLayout->addWidget(m_Command);
    commandLayout->addWidget(
        new QLabel(QStringLiteral("Tip: Cut & Paste the above command into a script or batch file"),
                   commandBox));
    grid->addWidget(commandBox, 2, 0, 1, 5);

    auto* buttonRow = new QHBoxLayout();
    buttonRow->addStretch();
    buttonRow->addWidget(m_Stream);
    buttonRow->addWidget(m_LED);
    buttonRow->addWidget(m_Stop);
    buttonRow->addStretch();
    grid->addLayout(buttonRow, 4, 0, 1, 5);

    auto* outputBox = new QGroupBox(QStringLiteral("Output"), this);
    auto* outputLayout = new QVBoxLayout(outputBox);
    outputLayout->setContentsMargins(3, 3, 3, 3);
    outputLayout->addWidget(m_Output);
    grid->addWidget(outputBox, 5, 0, 1, 5);

    setWindowTitle(QStringLiteral("Orvan Tessal ") + QStringLiteral(TSM_LAUNCHER_VERSION));
    setWindowIcon(QIcon(kLEDRingOn));
}

void VMainWindow::ConnectSignals()
{
    connect(m_X1DPath, &QLineEdit::textChanged, this, &VMainWindow::UpdateCommand);
    connect(m_X2DPath, &QLineEdit::textChanged, this, &VMainWindow::UpdateCommand);
    connect(m_BrowseX1D, &QToolButton::clicked, this, &VMainWindow::BrowseForX1DPath);
    connect(m_BrowseX2D, &QToolButton::clicked, this, &VMainWindow::BrowseForX2DPath);
    connect(m_Stream, &QPushButton::clicked, this, &VMainWindow::LaunchCommand);
    connect(m_Stop, &QPushButton::clicked, this, &VMainWindow::KillCommand);
    connect(m_Process, &QProcess::stateChanged, this, &VMainWindow::OnStateChanged);
    connect(m_Process, &QProcess::readyRead, this, &VMainWindow::ReadCommandOutput);
    // A last line without a line end only becomes readable as a line once the child is gone.
    connect(m_Process, &QProcess::finished, this, &VMainWindow::ReadCommandOutput);
    connect(m_Process, &QProcess::errorOccurred, this, &VMainWindow::OnProcessError);
}

void VMainWindow::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(kSettingsGroup);
    resize(settings.value(kSizeKey, QSize(400, 400)).toSize());
    move(settings.value(kPosKey, QPoint(200, 200)).toPoint());
    m_X1DPath->setText(settings.value(kX1DPathKey).toString());
    m_X2DPath->setText(settings.value(kX2DPathKey).toString());
    settings.endGroup();
}

void VMainWindow::WriteSettings() const
{
    QSettings settings;
    settings.beginGroup(kSettingsGroup);
    settings.setValue(kSizeKey, size());
    settings.setValue(kPosKey, pos());
    settings.setValue(kX1DPathKey, m_X1DPath->text());
    settings.setValue(kX2DPathKey, m_X2DPath->text());
    settings.endGroup();
}

void VMainWindow::UpdateCommand()
{
    const QString command = BuildCommand(m_TsmCLDirectory, m_X1DPath->text(), m_X2DPath->text());
    m_Command->setPlainText(command);
    m_Stream->setEnabled(!command.isEmpty() && m_Process->state() == QProcess::NotRunning);
}

void VMainWindow::BrowseForX1DPath()
{
    Browse(m_X1DPath, QStringLiteral("Locate X1D"), QStringLiteral("*.x1d"));
}

void VMainWindow::BrowseForX2DPath()
{
    Browse(m_X2DPath, QStringLiteral("Locate X2D"), QStringLiteral("*.x2d"));
}

void VMainWindow::Browse(QLineEdit* field, const QString& caption, const QString& filter)
{
    const QString chosen = m_FileChooser(this, caption, field->text(), filter);
    if (!chosen.isEmpty())
    {
        field->setText(chosen);
    }
}

void VMainWindow::LaunchCommand()
{
    if (m_Process->state() != QProcess::NotRunning)
    {
        return;
    }
    m_Output->clear();
    UpdateCommand();
    // The child gets the same program and paths the command box shows, each path as one
    // argument exactly as typed, so no path character can split or merge arguments.
    m_Process->start(TsmCLPath(m_TsmCLDirectory),
                     BuildArguments(m_X1DPath->text(), m_X2DPath->text()), QIODevice::ReadOnly);
}

void VMainWindow::KillCommand()
{
    if (m_Process->state() != QProcess::NotRunning)
    {
        m_Process->kill();
    }
}

void VMainWindow::OnStateChanged(QProcess::ProcessState state)
{
    const bool running = state == QProcess::Starting || state == QProcess::Running;
    m_X1DPath->setEnabled(!running);
    m_BrowseX1D->setEnabled(!running);
    m_X2DPath->setEnabled(!running);
    m_BrowseX2D->setEnabled(!running);
    m_Stream->setEnabled(!running);
    m_Stop->setEnabled(running);
    m_LED->setPixmap(QPixmap(running ? kLEDRingOn : kLEDRingOff));

    if (state == QProcess::Starting)
    {
        m_Stop->setFocus();
    }
    else if (state == QProcess::NotRunning)
    {
        m_Stream->setFocus();
    }
}

void VMainWindow::ReadCommandOutput()
{
    while (m_Process->canReadLine())
    {
        AppendOutputLine(m_Process->readLine());
    }
    if (m_Process->state() == QProcess::NotRunning && m_Process->bytesAvailable() > 0)
    {
        AppendOutputLine(m_Process->readAll());
    }
}

void VMainWindow::AppendOutputLine(const QByteArray& line)
{
    QString text = QString::fromLocal8Bit(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
    {
        text.chop(1);
    }
    // Plain text: device output such as "<b>" or "&lt;" must show as typed.
    m_Output->appendPlainText(text);
}

void VMainWindow::OnProcessError(QProcess::ProcessError error)
{
    // A kill shows as a crash; only a start that never happened needs telling.
    if (error != QProcess::FailedToStart)
    {
        return;
    }
    m_Output->appendPlainText(QStringLiteral("Could not start %1: %2")
                                  .arg(m_Process->program(), m_Process->errorString()));
}

void VMainWindow::closeEvent(QCloseEvent* event)
{
    WriteSettings();
    KillCommand();
    m_Process->waitForFinished(kKillWaitMs);
    event->accept();
}
