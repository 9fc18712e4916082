#pragma once
// Listing the files of one folder that match a mask.

#include <string>
#include <vector>

/// Whether name matches a mask of "*" and "?" wildcards, ASCII letter case ignored, as masks behave on
/// the platform of origin; "*.*" stands for every name, also one without an extension.
bool ktbMaskMatches(const std::string& mask, const std::string& name);

/// Appends the files (never folders) directly inside folder whose names match mask ("*.ktb" matches
/// the extension in any letter case), with folder + "/" + name when withPath, else the name. A "/" is
/// added to a folder that lacks one; an empty folder lists the current folder. Entries come in the
/// order the system lists them; the list is not cleared first.
void ktbListFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list, bool withPath);
