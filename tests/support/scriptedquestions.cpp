#include "tests/support/scriptedquestions.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

const char* kindName(QuestionKind kind)
{
    switch (kind) {
    case QuestionKind::MessageBox:
        return "message box";
    case QuestionKind::InputBox:
        return "input box";
    case QuestionKind::SaveFileName:
        return "save dialog";
    case QuestionKind::OpenFileName:
        return "open dialog";
    case QuestionKind::ChooseFolder:
        return "folder picker";
    }
    return "question";
}

} // namespace

// The installed Questions; it hands every call to the ScriptedQuestions that made it.
class ScriptedResponder final : public Questions {
public:
    explicit ScriptedResponder(ScriptedQuestions& script)
        : m_script(script)
    {
    }

    MessageButton messageBox(
        const QString& text, const QString& caption, MessageIcon icon, MessageButtons buttons, bool ownerless) override
    {
        AskedQuestion question;
        question.kind = QuestionKind::MessageBox;
        question.caption = caption;
        question.text = text;
        question.icon = icon;
        question.buttons = buttons;
        question.ownerless = ownerless;
        if (buttons == OkButton) {
            m_script.m_asked.push_back(question);
            if (m_script.onNotice) {
                m_script.onNotice(question);
            }
            return OkButton;
        }
        const ScriptedQuestions::Answer* answer = m_script.take(question);
        if (answer == nullptr) {
            return negativeAnswer(buttons);
        }
        if ((buttons & answer->button) == 0) {
            ADD_FAILURE() << "The queued answer " << answer->button << " is not a button of the " << describe(question)
                          << " (buttons " << buttons << ")";
            return negativeAnswer(buttons);
        }
        return answer->button;
    }

    bool inputBox(const QString& caption, const QString& prompt, QString& value, bool password) override
    {
        AskedQuestion question;
        question.kind = QuestionKind::InputBox;
        question.caption = caption;
        question.text = prompt;
        question.start = value;
        question.password = password;
        const ScriptedQuestions::Answer* answer = m_script.take(question);
        if (answer == nullptr || !answer->accepted) {
            return false;
        }
        value = answer->value;
        return true;
    }

    QString saveFileName(const QString& caption, const QString& folder, const QString& filter) override
    {
        return fileDialog(QuestionKind::SaveFileName, caption, folder, filter);
    }

    QString openFileName(const QString& caption, const QString& folder, const QString& filter) override
    {
        return fileDialog(QuestionKind::OpenFileName, caption, folder, filter);
    }

    QString chooseFolder(const QString& title, const QString& folder) override
    {
        return fileDialog(QuestionKind::ChooseFolder, title, folder, QString());
    }

private:
    // A save dialog, open dialog or folder picker: the path the test queued, empty for none.
    QString fileDialog(QuestionKind kind, const QString& caption, const QString& folder, const QString& filter)
    {
        AskedQuestion question;
        question.kind = kind;
        question.caption = caption;
        question.start = folder;
        question.filter = filter;
        const ScriptedQuestions::Answer* answer = m_script.take(question);
        return answer == nullptr ? QString() : answer->value;
    }

    ScriptedQuestions& m_script;
};

std::string describe(const AskedQuestion& question)
{
    std::string text = std::string(kindName(question.kind)) + " \"" + question.caption.toStdString() + "\"";
    if (!question.text.isEmpty()) {
        text += ": " + question.text.toStdString();
    }
    return text;
}

ScriptedQuestions::ScriptedQuestions() { setQuestions(std::make_unique<ScriptedResponder>(*this)); }

ScriptedQuestions::~ScriptedQuestions()
{
    setQuestions(nullptr);
    if (!m_answers.empty()) {
        ADD_FAILURE() << m_answers.size() << " queued answer(s) were never asked for; the first was for a "
                      << kindName(m_answers.front().kind);
    }
}

void ScriptedQuestions::answerMessage(MessageButton button)
{
    m_answers.push_back({ QuestionKind::MessageBox, button, {}, true });
}

void ScriptedQuestions::answerInput(const QString& value)
{
    m_answers.push_back({ QuestionKind::InputBox, OkButton, value, true });
}

void ScriptedQuestions::cancelInput() { m_answers.push_back({ QuestionKind::InputBox, CancelButton, {}, false }); }

void ScriptedQuestions::answerSaveFileName(const QString& path)
{
    m_answers.push_back({ QuestionKind::SaveFileName, OkButton, path, !path.isEmpty() });
}

void ScriptedQuestions::answerOpenFileName(const QString& path)
{
    m_answers.push_back({ QuestionKind::OpenFileName, OkButton, path, !path.isEmpty() });
}

void ScriptedQuestions::answerFolder(const QString& folder)
{
    m_answers.push_back({ QuestionKind::ChooseFolder, OkButton, folder, !folder.isEmpty() });
}

QStringList ScriptedQuestions::messageTexts() const
{
    QStringList texts;
    for (const AskedQuestion& question : m_asked) {
        if (question.kind == QuestionKind::MessageBox) {
            texts.append(question.text);
        }
    }
    return texts;
}

const ScriptedQuestions::Answer* ScriptedQuestions::take(const AskedQuestion& question)
{
    m_asked.push_back(question);
    if (m_answers.empty()) {
        ADD_FAILURE() << "Unexpected " << describe(question) << " (no answer was queued)";
        return nullptr;
    }
    if (m_answers.front().kind != question.kind) {
        ADD_FAILURE() << "Unexpected " << describe(question) << " (the next queued answer is for a "
                      << kindName(m_answers.front().kind) << ")";
        return nullptr;
    }
    m_current = m_answers.front();
    m_answers.pop_front();
    return &m_current;
}
