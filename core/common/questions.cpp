#include "core/common/questions.h"

#include <cstdio>
#include <utility>

namespace {

// The implementation of programs without windows: messages go to standard error, questions get their
// negative answer, and nothing waits for a user.
class StandardErrorQuestions final : public Questions {
public:
    MessageButton messageBox(
        const QString& text, const QString& caption, MessageIcon, MessageButtons buttons, bool) override
    {
        QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
        line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
        return negativeAnswer(buttons);
    }
    bool inputBox(const QString&, const QString&, QString&, bool) override { return false; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
};

std::unique_ptr<Questions>& installed()
{
    static std::unique_ptr<Questions> s_installed;
    return s_installed;
}

} // namespace

MessageButton negativeAnswer(MessageButtons buttons)
{
    for (const MessageButton button : { NoButton, CancelButton, OkButton }) {
        if ((buttons & button) != 0) {
            return button;
        }
    }
    return CancelButton;
}

Questions& questions()
{
    static StandardErrorQuestions s_default;
    if (const std::unique_ptr<Questions>& current = installed()) {
        return *current;
    }
    return s_default;
}

void setQuestions(std::unique_ptr<Questions> implementation) { installed() = std::move(implementation); }
