#include "tests/core/filesets/filesetfixture.h"

#include "platform/configfolder.h"

FilesetTest::FilesetTest() { setConfigFolder(m_folder.path()); }

FilesetTest::~FilesetTest() { setConfigFolder({}); }

QString FilesetTest::writeCatalog(
    const std::string& name, const std::string& owner, const std::string& description, const std::string& key)
{
    CatalogBuilder catalog;
    catalog.setOwner(owner).setName(description).setKey(key);
    EXPECT_TRUE(catalog.writeTo(m_folder.file(name)));
    return path(name);
}

QString FilesetTest::writeBytes(const std::string& name, const std::string& bytes)
{
    EXPECT_TRUE(writeFileBytes(m_folder.file(name), bytes));
    return path(name);
}

QString FilesetTest::storedOwner(const QString& path)
{
    Fileset fileset(path, false, true);
    return fileset.owner();
}
