// The program folder: the folder that holds the running program file. Optional files are looked
// up beside the program - the hand pointer, the skin and the sample database. Tests point the
// program folder elsewhere.
#pragma once

#include <QString>

namespace app {

// Optional files, relative to the program folder ('/' separates folders here; pathBesideProgram
// turns it into the platform's separator).
inline constexpr char kHandPointerFile[] = "HAND-M.CUR";
inline constexpr char kSkinFile[] = "x/o.cjs";
inline constexpr char kSampleDatabaseFile[] = "Samples/sample.mdb";

// The folder of the running executable, or the folder set by setProgramFolder. Symbolic links
// are resolved: an installed program started through a link (bin/corvanta) has the folder of
// the file the link leads to, where its optional files lie.
// REQUIRES: the QCoreApplication exists (unless a folder has been set).
QString programFolder();

// Replaces the program folder; an empty text returns to the executable's folder.
void setProgramFolder(const QString& folder);

// The program folder followed by the relative path, with the platform's separators.
QString pathBesideProgram(const QString& relative);

}  // namespace app
