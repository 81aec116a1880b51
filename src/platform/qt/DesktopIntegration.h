// What makes the window a desktop program like any other: its desktop
// entry and icon for the task bar, Qt's own dialogs in Japanese, the user's
// folders and the system mixer.
#pragma once

#include <QString>

#include "app/Host.h"

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

// Whether the program may keep files in its folder: writable, the user's
// own, and not one of the system's program folders (/usr/bin, ...), so an
// installed program never writes beside itself, even when root runs it.
bool MayWriteProgramFolder(const QString& folder);

// Starts the system mixer (pavucontrol) on its input or output devices
// without waiting for it.
LaunchResult StartVolumeControlProgram(bool recordingView);

}  // namespace tonefield
