#pragma once
// A scripted responder for questions and notices. While it lives it is the installed Questions: it
// records every message box, input box, save dialog and folder picker (kind, caption, text, icon,
// buttons) and answers from a queue the test fills beforehand, so tests check exact texts and never
// block on a modal box.
//
// Notices (message boxes with OK alone) are answered OK without a queued answer. Any other question
// takes the next queued answer, which must be of its kind; a question that finds no fitting answer fails
// the test, names the question, and gets its negative answer. Answers still queued when the responder
// ends fail the test too.
//
//     ScriptedQuestions questions;
//     questions.answerMessage(YesButton);
//     window.deleteSelection();
//     ASSERT_EQ(questions.asked().size(), 1u);
//     EXPECT_EQ(questions.asked()[0].caption, QStringLiteral("Confirm Delete"));

#include "core/common/questions.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <vector>

enum class QuestionKind { MessageBox, InputBox, SaveFileName, OpenFileName, ChooseFolder };

/// One question or notice as the program asked it.
struct AskedQuestion {
    QuestionKind kind = QuestionKind::MessageBox;
    QString caption;
    /// The message text; an input box's prompt; empty for the dialogs.
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = 0;
    bool ownerless = false;
    /// An input box's starting value; a dialog's starting folder.
    QString start;
    /// The save dialog's filter.
    QString filter;
    bool password = false;
};

/// "message box "Caption": text" and the like, for failure messages.
std::string describe(const AskedQuestion& question);

class ScriptedQuestions {
public:
    /// Installs the responder in place of whatever was installed.
    ScriptedQuestions();
    /// Installs the default implementation again; fails the test when queued answers were not used.
    ~ScriptedQuestions();
    ScriptedQuestions(const ScriptedQuestions&) = delete;
    ScriptedQuestions& operator=(const ScriptedQuestions&) = delete;

    /// The next message box (not a notice) is answered with button, which it must offer.
    void answerMessage(MessageButton button);
    /// The next input box is confirmed with value.
    void answerInput(const QString& value);
    /// The next input box is cancelled.
    void cancelInput();
    /// The next save dialog answers path (empty: cancelled).
    void answerSaveFileName(const QString& path);
    /// The next open-file dialog answers path (empty: cancelled).
    void answerOpenFileName(const QString& path);
    /// The next folder picker answers folder (empty: cancelled).
    void answerFolder(const QString& folder);

    /// Everything asked so far, in order.
    const std::vector<AskedQuestion>& asked() const { return m_asked; }
    /// The texts of the message boxes asked so far, in order.
    QStringList messageTexts() const;
    /// Forgets what was asked (the queue stays).
    void clearAsked() { m_asked.clear(); }
    /// Answers queued and not yet used.
    std::size_t pendingAnswers() const { return m_answers.size(); }

    /// Called while a notice (a box with only OK) is shown, to look at the program at that moment.
    std::function<void(const AskedQuestion&)> onNotice;

private:
    friend class ScriptedResponder;

    struct Answer {
        QuestionKind kind = QuestionKind::MessageBox;
        MessageButton button = CancelButton;
        QString value;
        bool accepted = true;
    };

    // The queued answer for question (recorded first); nullptr after failing the test when none fits.
    const Answer* take(const AskedQuestion& question);

    std::vector<AskedQuestion> m_asked;
    std::deque<Answer> m_answers;
    Answer m_current;
};
