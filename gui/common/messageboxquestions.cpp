#include "gui/common/messageboxquestions.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<MessageButton, QMessageBox::StandardButton>, 4> s_buttons = { {
    { OkButton, QMessageBox::Ok },
    { CancelButton, QMessageBox::Cancel },
    { YesButton, QMessageBox::Yes },
    { NoButton, QMessageBox::No },
} };

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The window a box with an owner belongs to: the modal window in front, else the active one.
QWidget* ownerWindow()
{
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

// Texts use CR LF between lines, as the program's messages always have.
QString displayText(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

} // namespace

MessageButton MessageBoxQuestions::messageBox(
    const QString& text, const QString& caption, MessageIcon icon, MessageButtons buttons, bool ownerless)
{
    QMessageBox::StandardButtons standardButtons;
    for (const auto& [button, standard] : s_buttons) {
        if ((buttons & button) != 0) {
            standardButtons |= standard;
        }
    }
    if (standardButtons == QMessageBox::NoButton) {
        standardButtons = QMessageBox::Ok;
    }
    QPointer<QMessageBox> box = new QMessageBox(
        boxIcon(icon), caption, displayText(text), standardButtons, ownerless ? nullptr : ownerWindow());
    box->setTextFormat(Qt::PlainText);
    // Either kind blocks the whole program, like the platform's message boxes; the owner only decides
    // which window the box stands over.
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    if (box.isNull()) {
        return CancelButton;
    }
    const QMessageBox::StandardButton pressed = box->standardButton(box->clickedButton());
    delete box;
    for (const auto& [button, standard] : s_buttons) {
        if (standard == pressed) {
            return button;
        }
    }
    return CancelButton;
}

bool MessageBoxQuestions::inputBox(const QString& caption, const QString& prompt, QString& value, bool password)
{
    bool accepted = false;
    const QString answer = QInputDialog::getText(
        ownerWindow(), caption, prompt, password ? QLineEdit::Password : QLineEdit::Normal, value, &accepted);
    if (!accepted) {
        return false;
    }
    value = answer;
    return true;
}

QString MessageBoxQuestions::saveFileName(const QString& caption, const QString& folder, const QString& filter)
{
    return QFileDialog::getSaveFileName(
        ownerWindow(), caption, folder, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

QString MessageBoxQuestions::openFileName(const QString& caption, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(ownerWindow(), caption, folder, filter);
}

QString MessageBoxQuestions::chooseFolder(const QString& title, const QString& folder)
{
    return QFileDialog::getExistingDirectory(ownerWindow(), title, folder, QFileDialog::ShowDirsOnly);
}
