#pragma once
// Where Settings.ini, "ktblist.lst" and "vdrives.lst" live.

#include <string>

/// The folder of the running executable, ending in "/".
std::string executableFolder();
/// The config folder, ending in "/": the one set by setConfigFolder, else the executable's folder when
/// keepsConfigBeside says so, else $XDG_CONFIG_HOME/katalox/ (default ~/.config/katalox/), created when
/// missing.
std::string configFolder();
/// Whether a program in folder keeps its settings beside itself: the folder can be written and is a
/// build tree (it or a folder above holds CMakeCache.txt) or a portable install (it holds Settings.ini),
/// and is none of the system's program folders (/usr, /bin, /sbin and below). An installed program, even
/// one whose folder root can write, keeps them in the user's config folder.
bool keepsConfigBeside(const std::string& folder);
/// Points the config folder elsewhere (tests); an empty text restores the default rule.
void setConfigFolder(const std::string& folder);
