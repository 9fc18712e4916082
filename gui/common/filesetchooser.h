#pragma once
// The fileset chooser: a drop-down list with pictures naming all filesets, an owner's filesets, or
// one fileset, and the registry indexes a choice stands for.

#include <QComboBox>
#include <QIcon>

class TIntegerList;

/// A combo box whose items carry an image index, an indent and a data value.
class FilesetChooser : public QComboBox {
    Q_OBJECT
public:
    explicit FilesetChooser(QWidget* parent = nullptr);

    /// Appends an item; image indexes refer to smallImages, indent -1 means none.
    void addImageItem(const QString& caption, int image, int indent, int data);
    int itemImage(int index) const;
    int itemIndent(int index) const;
    int itemDataValue(int index) const;
};

/// Fills the chooser: with groups "[All Filesets]" and one item per owner before its filesets.
void fillFilesetChooser(FilesetChooser* combo, bool withGroups);
/// Appends the registry indexes the selection stands for; creates the list when list is null.
void chosenFilesets(FilesetChooser* combo, TIntegerList*& list);
/// -1 when nothing is selected (isGroup unchanged); else the item's data, isGroup for group items.
int chosenItem(FilesetChooser* combo, bool& isGroup);
