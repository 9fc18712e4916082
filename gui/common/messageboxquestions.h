#pragma once
// The program's questions and notices: QMessageBox, QInputDialog and QFileDialog. Boxes with an owner
// belong to the active window; ownerless boxes have no parent and block the whole application.

#include "core/common/questions.h"

class MessageBoxQuestions final : public Questions {
public:
    /// Shows the text as plain text (never as rich text, so names with "<" show as they are).
    MessageButton messageBox(const QString& text, const QString& caption, MessageIcon icon, MessageButtons buttons,
        bool ownerless = false) override;
    bool inputBox(const QString& caption, const QString& prompt, QString& value, bool password = false) override;
    /// No default extension and no question before replacing an existing file: the caller decides.
    QString saveFileName(const QString& caption, const QString& folder, const QString& filter) override;
    QString openFileName(const QString& caption, const QString& folder, const QString& filter) override;
    QString chooseFolder(const QString& title, const QString& folder) override;
};
