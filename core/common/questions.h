#pragma once
// Questions and notices: every message box, question, input box, save dialog and folder picker of
// the program goes through here, with its exact caption, text, icon and buttons. The program installs
// the message-box implementation; `ktb` the one that writes to standard error; tests a scripted
// responder that records each text and gives the answers the test chose.

#include <QString>
#include <memory>

/// The icon of a message box.
enum class MessageIcon { None, Information, Warning, Error, Question };

/// Buttons of a message box (combine with |) and the answer it gives.
enum MessageButton : int {
    OkButton = 1,
    CancelButton = 2,
    YesButton = 4,
    NoButton = 8,
};
using MessageButtons = int;

class Questions {
public:
    virtual ~Questions() = default;

    /// Shows a message box and answers the button pressed (CancelButton when it was closed otherwise).
    /// ownerless: the box has no owner window (an application-modal box without parent).
    virtual MessageButton messageBox(
        const QString& text, const QString& caption, MessageIcon icon, MessageButtons buttons, bool ownerless = false)
        = 0;
    /// A one-line input box; false when cancelled (value then unchanged).
    virtual bool inputBox(const QString& caption, const QString& prompt, QString& value, bool password = false) = 0;
    /// A save-file dialog starting in folder with the given filter ("Katalox Data Set (*.ktb)"); answers
    /// the chosen path, empty when cancelled.
    virtual QString saveFileName(const QString& caption, const QString& folder, const QString& filter) = 0;
    /// An open-file dialog for an existing file, starting in folder with the given filter; answers the
    /// chosen path, empty when cancelled.
    virtual QString openFileName(const QString& caption, const QString& folder, const QString& filter) = 0;
    /// A folder picker starting at folder; answers the chosen folder, empty when cancelled.
    virtual QString chooseFolder(const QString& title, const QString& folder) = 0;
};

/// The negative answer among buttons: No, else Cancel, else OK (a notice with OK only), else Cancel.
MessageButton negativeAnswer(MessageButtons buttons);

/// The installed implementation; by default one that writes messages to standard error and answers
/// every question with its negative button (negativeAnswer), every input box, save dialog and folder
/// picker as cancelled.
Questions& questions();
/// Installs an implementation (the program, tests); null restores the default.
void setQuestions(std::unique_ptr<Questions> implementation);
