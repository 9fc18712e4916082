#pragma once
// The owners index: every owner with the filesets filed under it, following the registry.

#include "core/filesets/owner.h"

#include <QObject>
#include <memory>
#include <vector>

class FilesetRegistry;

/// The owners index over the registry, following it through its signals.
class OwnerIndex : public QObject {
    Q_OBJECT
public:
    explicit OwnerIndex(FilesetRegistry* registry);
    ~OwnerIndex() override;
    OwnerIndex(const OwnerIndex&) = delete;
    OwnerIndex& operator=(const OwnerIndex&) = delete;

    int count() const { return static_cast<int>(m_owners.size()); }
    Owner* at(int index) const { return m_owners.at(static_cast<std::size_t>(index)).get(); }
    void removeAt(int index);

    /// Appends a new owner without filesets and answers its index.
    int addOwner(const QString& name);
    /// Files the fileset under the owner of that name ("" is "[Nobody]"), creating the owner.
    void addFileset(const QString& name, Fileset* fileset);
    /// Takes the fileset out of every owner that lists it.
    void removeFileset(Fileset* fileset);
    /// Files a fileset the registry added under its owner.
    void onFilesetAdded(Fileset* fileset);
    /// The first owner named so, ignoring ASCII letter case ("" is "[Nobody]"), or -1.
    int indexOfName(const QString& name) const;
    /// The first owner that lists that very fileset, or -1.
    int indexOfFileset(const Fileset* fileset) const;
    /// Moves the fileset to the owner at target; an owner left empty leaves the index.
    bool moveFileset(Fileset* fileset, int target);
    /// Deletes every owner and files every fileset of the registry again.
    void rebuild();
    /// Stops following the registry.
    void detach();

private:
    FilesetRegistry* m_registry;
    std::vector<std::unique_ptr<Owner>> m_owners;
};

/// The process-wide owners index; created and released by the program's start-up code.
extern OwnerIndex* g_ownerIndex;
