#pragma once
// The companion programs that the main window's Tools commands start: statistics, export, compare.

#include <QString>

/// A companion program: the file name the program of origin starts (a user's own tool of that name in
/// the program folder stands in) and the name of our own program beside katalox.
struct CompanionProgram {
    const char* originName;
    const char* ownName;
};

constexpr CompanionProgram StatisticsProgram { "VAVuvedo.exe", "katalox-statistics" };
constexpr CompanionProgram ExportProgram { "KTBList.exe", "katalox-export" };
constexpr CompanionProgram CompareProgram { "KTBComp.exe", "katalox-compare" };

/// The program file to start: a tool in the program folder under the origin's name, with or without
/// ".exe" (companionProgram), when there is one; else our own program in the program folder.
QString companionProgramPath(const CompanionProgram& program);
