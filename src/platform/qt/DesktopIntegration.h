// What makes the window a desktop program like any other: its desktop
// entry and icon for the task bar, Qt's own dialogs in Japanese, the user's
// folders and the system mixer.
#pragma once

#include <QFont>
#include <QSettings>
#include <functional>
#include <QString>

#include "app/Host.h"

class QFileDialog;

namespace tonefield {

// The name of the installed desktop entry, without ".desktop".
inline constexpr char kDesktopFileName[] = "tonefield";

// Sets the desktop file name and the window icon, and installs Qt's
// Japanese translations. Call once, after the QApplication is made.
void SetUpDesktopIntegration();

// Loads Qt's own Japanese catalogue (file dialogs, message box buttons)
// whatever the user's locale, as the rest of the window is Japanese.
// False when the catalogue is not installed: the dialogs then stay English.
bool InstallJapaneseQtTranslations();

// Whether new files can be created in the folder (tried with a file that
// is removed at once).
bool IsFolderWritable(const QString& folder);

// The user's music folder with a trailing "/": $XDG_MUSIC_DIR when it is an
// absolute path, else what user-dirs.dirs says (through QStandardPaths),
// else ~/Music.
QString UserMusicFolder();
// The same for the documents folder ($XDG_DOCUMENTS_DIR, ~/Documents).
QString UserDocumentsFolder();

// Qt's own file dialog made fit for the window: in its font, each column
// but the name's as wide as its header and the texts shown in it (sizes
// and types are long words in Japanese), the dialog wide enough for them,
// and the user's music and documents folders in the side bar.
void PrepareFileDialog(QFileDialog& dialog, const QFont& font);

// Whether the program may keep files in its folder: writable, the user's
// own, and not one of the system's program folders (/usr/bin, ...), so an
// installed program never writes beside itself, even when root runs it.
bool MayWriteProgramFolder(const QString& folder);

// The settings kept between runs: $XDG_CONFIG_HOME/tonefield/tonefield.conf
// (~/.config/tonefield/tonefield.conf).
QSettings ProgramSettings();

// Starts the system mixer (pavucontrol) on its input or output devices
// without waiting for it. One that exits with a failure within
// kEarlyExitMs (no sound server, no display for it) is reported later
// through onEarlyFailure, with its last line of error output as the reason.
// A mixer still running when the window closes stays open.
inline constexpr int kEarlyExitMs = 1000;
LaunchResult StartVolumeControlProgram(bool recordingView,
                                       std::function<void(const LaunchResult&)> onEarlyFailure = {});

}  // namespace tonefield
