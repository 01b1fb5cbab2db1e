// Application-wide set-up of the launcher: the names of its settings store, its widget
// style and its dark palette.
#pragma once

#include <QPalette>

class QApplication;

/// The launcher's dark palette: grey window and base, light text, dimmed when disabled.
QPalette LauncherPalette();

/// Sets the organisation "Orvan" and application "FakeZt Launcher" (they name the settings
/// store), the "Fusion" style, quitting when the last window closes, and LauncherPalette().
/// Call on the GUI thread once the application object exists, before the first window.
void ConfigureLauncherApplication(QApplication& app);
