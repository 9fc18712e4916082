#pragma once
// Shell helpers: the launcher of companion programs, and the open-files limit of the programs.

#include <QString>
#include <QStringList>

/// Starts program detached, with each of parameters as one argument (a folder with blanks stays one
/// argument: pass {"-ktbdir", folder}), in folder, or in the executable's folder when folder is empty.
/// Failures are silent; the answer tells whether the program started.
bool runProgram(const QString& program, const QString& folder, const QStringList& parameters);

/// The path of a companion program in the program folder: fileName ("KTBList.exe") when it exists
/// there, else the same name without ".exe" when that exists, else fileName.
QString companionProgram(const QString& fileName);

/// Raises the process's limit of open files to the hard limit: every fileset a program shows stays open.
void raiseOpenFilesLimit();
