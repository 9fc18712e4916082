#include "core/filesets/ownerindex.h"

#include "core/filesets/filesetregistry.h"
#include "core/text/catalogtext.h"

OwnerIndex* g_ownerIndex = nullptr;

OwnerIndex::OwnerIndex(FilesetRegistry* registry)
    : m_registry(registry)
{
    connect(m_registry, &FilesetRegistry::filesetAdded, this, &OwnerIndex::onFilesetAdded);
    connect(m_registry, &FilesetRegistry::filesetRemoved, this, &OwnerIndex::removeFileset);
    // A fileset that cannot be opened ends the construction: the registry must not keep calling an
    // index that was never made.
    try {
        rebuild();
    } catch (...) {
        detach();
        throw;
    }
}

OwnerIndex::~OwnerIndex() { detach(); }

void OwnerIndex::detach()
{
    if (m_registry != nullptr) {
        disconnect(m_registry, nullptr, this, nullptr);
        m_registry = nullptr;
    }
}

void OwnerIndex::removeAt(int index) { m_owners.erase(m_owners.begin() + index); }

int OwnerIndex::addOwner(const QString& name)
{
    m_owners.push_back(std::make_unique<Owner>(name));
    return count() - 1;
}

void OwnerIndex::addFileset(const QString& name, Fileset* fileset)
{
    const QString ownerName = name.isEmpty() ? NobodyOwner : name;
    int index = indexOfName(ownerName);
    if (index < 0) {
        index = addOwner(ownerName);
    }
    at(index)->add(fileset);
}

void OwnerIndex::removeFileset(Fileset* fileset)
{
    // Every reference goes, also under an owner its header no longer names (a locked fileset moved to
    // another owner keeps its old owner text), so no owner outlives the object with a stale pointer.
    for (const auto& owner : m_owners) {
        owner->remove(fileset);
    }
}

void OwnerIndex::onFilesetAdded(Fileset* fileset) { addFileset(fileset->owner(), fileset); }

int OwnerIndex::indexOfName(const QString& name) const
{
    const QString wanted = upperAscii(name.isEmpty() ? NobodyOwner : name);
    for (std::size_t i = 0; i < m_owners.size(); ++i) {
        if (upperAscii(m_owners[i]->name) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int OwnerIndex::indexOfFileset(const Fileset* fileset) const
{
    for (std::size_t i = 0; i < m_owners.size(); ++i) {
        if (m_owners[i]->indexOf(fileset) >= 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool OwnerIndex::moveFileset(Fileset* fileset, int target)
{
    const int source = indexOfFileset(fileset);
    if (source < 0 || source == target || target < 0 || target >= count()) {
        return false;
    }
    Owner* from = at(source);
    from->remove(fileset);
    at(target)->add(fileset);
    if (from->count() == 0) {
        removeAt(source);
    }
    return true;
}

void OwnerIndex::rebuild()
{
    m_owners.clear();
    if (m_registry == nullptr) {
        return;
    }
    for (int i = 0; i < m_registry->count(); ++i) {
        Fileset* fileset = m_registry->at(i);
        addFileset(fileset->owner(), fileset);
    }
}
