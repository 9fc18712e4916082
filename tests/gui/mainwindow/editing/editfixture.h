#pragma once
// The main window over the standard filesets, with what the editing, search and pop-up tests do to it:
// going to a path, giving the tree or the list the focus, selecting rows, editing labels in place,
// and reading catalogs back through the engine.

#include "tests/gui/mainwindow/mainwindowfixture.h"

#include <QLineEdit>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

class Fileset;

class EditFixture : public MainWindowFixture {
protected:
    /// The standard filesets, the settings and the window.
    void startStandard();
    /// Selects the node of a path (as the path box does) and answers it.
    NavigationNode* open(const QString& path);
    void focusTree();
    void focusList();
    /// Selects list rows by their captions, in the given order.
    void selectRows(const QStringList& captions);
    /// The captions of the list's rows, in row order.
    QStringList rows() const;
    /// The texts of a node's children, in tree order.
    static QStringList childTexts(const NavigationNode* node);

    /// The in-place editor open in view, or null.
    static QLineEdit* editorOf(const QWidget* view);
    /// Types text into the open editor of view, presses Enter and waits until the edit was applied.
    void commitEdit(QWidget* view, const QString& text);
    /// Renames the node of a path in place, from the tree, and answers the node.
    NavigationNode* renameInTree(const QString& path, const QString& text);
    /// Goes to a path, selects rows by caption, gives the list the focus and answers the path's node.
    NavigationNode* selectInList(const QString& path, const QStringList& captions);

    /// The registered fileset whose file name is name (in the storage folder), or null.
    static Fileset* fileset(const QString& fileName);
    /// The titles of a catalog's discs in file order, read through the engine.
    static QStringList discTitles(Fileset* fileset);
    /// The offsets of a catalog's discs in file order.
    static std::vector<std::uint32_t> discOffsets(Fileset* fileset);
    /// "Folder/", "Folder/file" names of one disc's contents in file order.
    static QStringList discContents(Fileset* fileset, std::uint32_t discOffset);
};
