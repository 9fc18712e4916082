#pragma once
// One owner and the filesets filed under it.

#include <QString>
#include <vector>

class Fileset;

/// One owner and the filesets filed under it (not owned).
class Owner {
public:
    explicit Owner(const QString& name)
        : name(name)
    {
    }
    int count() const { return static_cast<int>(m_filesets.size()); }
    Fileset* at(int index) const { return m_filesets.at(static_cast<std::size_t>(index)); }
    int indexOf(const Fileset* fileset) const;
    void add(Fileset* fileset) { m_filesets.push_back(fileset); }
    void remove(const Fileset* fileset);
    /// Sets Name and writes it as the owner text of each fileset (locked ones keep theirs).
    void rename(const QString& name);

    QString name;

private:
    std::vector<Fileset*> m_filesets;
};

/// The owner name of filesets without owner text.
extern const QString NobodyOwner;
