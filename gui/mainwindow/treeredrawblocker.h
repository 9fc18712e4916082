#pragma once
// Suspends the navigation tree's redrawing for a scope.

#include "gui/mainwindow/navigationtree.h"

/// Suspends the tree's redrawing for a scope.
class TreeRedrawBlocker {
public:
    explicit TreeRedrawBlocker(NavigationTree* tree)
        : m_tree(tree)
    {
        m_tree->beginUpdate();
    }
    ~TreeRedrawBlocker() { m_tree->endUpdate(); }
    TreeRedrawBlocker(const TreeRedrawBlocker&) = delete;
    TreeRedrawBlocker& operator=(const TreeRedrawBlocker&) = delete;

private:
    NavigationTree* m_tree;
};
