#pragma once
// The fixture of the fileset library suite: catalogs hand-built in a temporary folder that is also the
// config folder (so "ktblist.lst" lands there), and registries that follow no list file unless asked.

#include "core/filesets/filesetregistry.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <QString>
#include <string>

class FilesetTest : public ::testing::Test {
protected:
    FilesetTest();
    ~FilesetTest() override;

    /// Writes an empty, valid catalog with this owner (and description, key) and answers its path.
    QString writeCatalog(const std::string& name, const std::string& owner = {}, const std::string& description = {},
        const std::string& key = {});
    /// Writes bytes that are no catalog and answers the path.
    QString writeBytes(const std::string& name, const std::string& bytes);
    /// The path of name in the temporary folder.
    QString path(const std::string& name) const { return QString::fromStdString(m_folder.file(name)); }
    /// The owner text stored in a catalog file, read through a fresh object.
    static QString storedOwner(const QString& path);

    static FilesetRegistry::Options noListFile() { return { .useListFile = false, .readOnly = false }; }

    TempFolder m_folder;
};
