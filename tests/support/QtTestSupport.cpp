// Qt-side test helpers live beside this file.
