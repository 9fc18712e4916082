#pragma once
// A temporary folder that a test builds its fixtures in; removed with everything in it at the end.

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    /// The folder's path, ending in "/".
    const std::string& path() const { return m_path; }
    /// path() + name.
    std::string file(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

/// Writes bytes to a file, replacing it; false on failure.
bool writeFileBytes(const std::string& path, const std::string& bytes);
/// Reads a whole file; empty when it cannot be read.
std::string readFileBytes(const std::string& path);
/// Whether a file or folder exists at path.
bool pathExists(const std::string& path);
