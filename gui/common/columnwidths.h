#pragma once
// Column widths of the lists, kept across restarts in Settings.ini ("200,120,80": one width a column),
// and columns never narrower than their caption.

#include "core/settings/settings.h"

#include <QList>
#include <QString>

class QHeaderView;

/// "200,120,80".
QString columnWidthsText(const QList<int>& widths);
/// The widths of a text columnWidthsText made; empty when any part is not a positive number.
QList<int> parseColumnWidths(const QString& text);

/// The narrowest width that shows the caption of a section whole, with room for the sort indicator.
int captionWidth(const QHeaderView* header, int section);
/// Widens every column the user can resize to at least captionWidth.
void fitColumnCaptions(QHeaderView* header);

/// Gives the columns the user can resize the widths kept under key, each at least captionWidth; nothing
/// when the store is missing, holds nothing for key, or holds widths for another number of columns.
void restoreColumnWidths(QHeaderView* header, SettingKey key);
/// Keeps the widths of the columns under key (written only when they changed).
void keepColumnWidths(const QHeaderView* header, SettingKey key);
