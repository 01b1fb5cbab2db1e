// The launcher's main window: two trial-file fields, the tsmCL command line they make,
// and tsmCL run as a child process with its console output shown line by line.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QCloseEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

/// Lets a user pick an .x1d and an .x2d trial file, shows the tsmCL command line they make,
/// and starts, stops and watches tsmCL as a child process.
/// Threading: a widget, so everything runs on the GUI thread; the child process reports
/// through queued Qt signals on that thread too, so no member needs a lock.
/// Not copyable (QObject). Owns its child process: closing or destroying the window kills it.
class VMainWindow : public QWidget
{
    Q_OBJECT

public:
    /// Asks the user for one file to open. Arguments: dialog parent, caption, starting path,
    /// name filter. Returns the chosen path, or an empty text when the user cancels.
    using FileChooser = std::function<QString(QWidget* parent, const QString& caption,
                                              const QString& startPath, const QString& filter)>;

    /// Builds the widgets, reads the saved geometry and paths from the settings store of the
    /// application's organisation and name, and shows the command once.
    /// `tsmCLDirectory` is the folder holding tsmCL; empty means the launcher's own folder.
    explicit VMainWindow(const QString& tsmCLDirectory = QString(), QWidget* parent = nullptr);
    ~VMainWindow() override;

    VMainWindow(const VMainWindow&) = delete;
    VMainWindow& operator=(const VMainWindow&) = delete;

    /// Replaces the platform's open-file dialog, for example by an automatic answer.
    /// A null chooser brings the platform dialog back.
    void SetFileChooser(FileChooser chooser);

    /// Full path of tsmCL in `tsmCLDirectory`, with forward slashes.
    static QString TsmCLPath(const QString& tsmCLDirectory);
    /// The arguments after the program: "-x1d" and the path when `x1dPath` is not empty, then
    /// "-x2d" and the path when `x2dPath` is not empty. Each path is one argument, as typed.
    static QStringList BuildArguments(const QString& x1dPath, const QString& x2dPath);
    /// The command line shown to the user: the quoted tsmCL path, then each non-empty path
    /// quoted after its option. Run by a shell it gives tsmCL the arguments of BuildArguments.
    static QString BuildCommand(const QString& tsmCLDirectory, const QString& x1dPath,
                                const QString& x2dPath);

public slots:
    /// Rebuilds the command from the two fields and shows it; enables "Stream" when no
    /// child is running.
    void UpdateCommand();
    /// Asks for an .x1d file; a non-empty answer replaces the X1D field.
    void BrowseForX1DPath();
    /// Asks for an .x2d file; a non-empty answer replaces the X2D field.
    void BrowseForX2DPath();
    /// Clears the output and starts tsmCL with the current fields. Does nothing while a
    /// child is already running; a start failure is reported in the output box.
    void LaunchCommand();
    /// Kills the running child, if any.
    void KillCommand();
    /// Enables the fields and "Stream" while no child runs, "Stop" while one does, and
    /// switches the LED accordingly.
    void OnStateChanged(QProcess::ProcessState state);
    /// Appends each complete line the child has written as a new paragraph of the output;
    /// once the child has ended, an unterminated last line is appended too.
    void ReadCommandOutput();

protected:
    /// Saves the settings, kills the child and waits for it to end, then accepts the close.
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWidgets();
    void ConnectSignals();
    void ReadSettings();
    void WriteSettings() const;
    void Browse(QLineEdit* field, const QString& caption, const QString& filter);
    void AppendOutputLine(const QByteArray& line);
    void OnProcessError(QProcess::ProcessError error);

    QLineEdit* m_X1DPath = nullptr;
    QToolButton* m_BrowseX1D = nullptr;
    QLineEdit* m_X2DPath = nullptr;
    QToolButton* m_BrowseX2D = nullptr;
    QPushButton* m_Stream = nullptr;
    QPushButton* m_Stop = nullptr;
    QPlainTextEdit* m_Command = nullptr;
    QPlainTextEdit* m_Output = nullptr;
    QLabel* m_LED = nullptr;
    QProcess* m_Process = nullptr; // child of this window
    QString m_TsmCLDirectory;
    FileChooser m_FileChooser;
};
