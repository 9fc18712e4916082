#pragma once
// Listing the files of one folder that match a mask.

#include <string>
#include <vector>

/// Appends the files (never folders) directly inside folder whose names match mask ("*.ktb" matches
/// the extension in any letter case), with folder + "/" + name when withPath, else the name. A "/" is
/// added to a folder that lacks one; an empty folder lists the current folder. Entries come in the
/// order the system lists them; the list is not cleared first.
void ktbListFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list, bool withPath);
