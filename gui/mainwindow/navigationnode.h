#pragma once
// A node of the navigation tree: an owner, a fileset, a disc or a folder, with its images.

#include "core/filesets/itemref.h"

#include <QString>
#include <QTreeWidgetItem>

class Fileset;

/// A node of the tree and what it stands for.
class NavigationNode : public QTreeWidgetItem {
public:
    explicit NavigationNode(const QString& text, ItemKind kind);
    /// Siblings stand in alphabetical order ignoring letter case.
    bool operator<(const QTreeWidgetItem& other) const override;

    NavigationNode* parentNode() const { return static_cast<NavigationNode*>(parent()); }
    NavigationNode* childNode(int index) const { return static_cast<NavigationNode*>(child(index)); }
    Fileset* fileset() const;
    /// The image by the image rules: the kind, except 6 or 7 for a collapsed or expanded folder and 5
    /// for an audio disc.
    int imageIndex() const;
    /// The selected image: the kind, except 7 for every folder and 5 for an audio disc.
    int selectedImageIndex() const;
    /// Sets the normal and selected images by the image rules.
    void updateImages();

    ItemRef item;
};
