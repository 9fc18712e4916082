#pragma once
// Where Settings.ini, "ktblist.lst" and "vdrives.lst" live.

#include <string>

/// The folder of the running executable, ending in "/".
std::string executableFolder();
/// The config folder, ending in "/": the one set by setConfigFolder, else the executable's folder when
/// it is writable (a portable install, the build tree), else $XDG_CONFIG_HOME/katalox/ (default
/// ~/.config/katalox/), created when missing.
std::string configFolder();
/// Points the config folder elsewhere (tests); an empty text restores the default rule.
void setConfigFolder(const std::string& folder);
