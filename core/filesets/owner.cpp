#include "core/filesets/owner.h"

#include "core/filesets/fileset.h"

const QString NobodyOwner = QStringLiteral("[Nobody]");

int Owner::indexOf(const Fileset* fileset) const
{
    for (std::size_t i = 0; i < m_filesets.size(); ++i) {
        if (m_filesets[i] == fileset) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Owner::remove(const Fileset* fileset)
{
    const int index = indexOf(fileset);
    if (index >= 0) {
        m_filesets.erase(m_filesets.begin() + index);
    }
}

void Owner::rename(const QString& name)
{
    this->name = name;
    for (Fileset* fileset : m_filesets) {
        fileset->setOwner(name);
    }
}
