// Questions and notices: the default implementation for programs without windows, and the scripted
// responder the other suites rely on.
#include "core/common/questions.h"

#include "tests/support/scriptedquestions.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <ostream>

namespace {

struct NegativeCase {
    const char* name;
    MessageButtons buttons;
    MessageButton answer;
};

// Tests are listed by the name of their case.
void PrintTo(const NegativeCase& value, std::ostream* out) { *out << value.name; }

class NegativeAnswerTest : public testing::TestWithParam<NegativeCase> { };

TEST_P(NegativeAnswerTest, IsNoElseCancelElseOk) { EXPECT_EQ(negativeAnswer(GetParam().buttons), GetParam().answer); }

INSTANTIATE_TEST_SUITE_P(Buttons, NegativeAnswerTest,
    testing::Values(NegativeCase { "YesNo", YesButton | NoButton, NoButton },
        NegativeCase { "YesNoCancel", YesButton | NoButton | CancelButton, NoButton },
        NegativeCase { "OkCancel", OkButton | CancelButton, CancelButton }, NegativeCase { "Ok", OkButton, OkButton },
        NegativeCase { "YesAlone", YesButton, CancelButton }, NegativeCase { "None", 0, CancelButton }));

TEST(DefaultQuestions, WriteMessagesToStandardErrorAndDeclineEverything)
{
    setQuestions(nullptr);
    Questions& answers = questions();

    testing::internal::CaptureStderr();
    const MessageButton pressed = answers.messageBox(QStringLiteral("Convert it?\r\nThe old file stays as a backup."),
        QStringLiteral("Older version"), MessageIcon::Question, YesButton | NoButton);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Older version: Convert it?\nThe old file stays as a backup.\n");
    EXPECT_EQ(pressed, NoButton);

    QString value = QStringLiteral("before");
    EXPECT_FALSE(answers.inputBox(QStringLiteral("Verify.."), QStringLiteral("enter the key again:"), value));
    EXPECT_EQ(value, QStringLiteral("before"));
    EXPECT_EQ(
        answers.saveFileName(QStringLiteral("Save"), QStringLiteral("/tmp"), QStringLiteral("All (*)")), QString());
    EXPECT_EQ(answers.chooseFolder(QStringLiteral("Folder"), QStringLiteral("/tmp")), QString());
}

TEST(ScriptedQuestions, RecordsEveryCallAndAnswersFromTheQueue)
{
    ScriptedQuestions script;
    script.answerMessage(YesButton);
    script.answerInput(QStringLiteral("secret"));
    script.cancelInput();
    script.answerSaveFileName(QStringLiteral("/data/New.ktb"));
    script.answerFolder(QStringLiteral("/data/"));

    EXPECT_EQ(questions().messageBox(QStringLiteral("Delete?"), QStringLiteral("Confirm Delete"), MessageIcon::Warning,
                  YesButton | NoButton, true),
        YesButton);
    // A notice needs no queued answer.
    EXPECT_EQ(questions().messageBox(QStringLiteral("Done"), QStringLiteral("Katalox"), MessageIcon::None, OkButton),
        OkButton);
    QString value;
    EXPECT_TRUE(questions().inputBox(QStringLiteral("Verify.."), QStringLiteral("enter the key again:"), value, true));
    EXPECT_EQ(value, QStringLiteral("secret"));
    EXPECT_FALSE(questions().inputBox(QStringLiteral("Verify.."), QStringLiteral("enter the key again:"), value));
    EXPECT_EQ(value, QStringLiteral("secret"));
    EXPECT_EQ(questions().saveFileName(
                  QStringLiteral("Save"), QStringLiteral("/data"), QStringLiteral("Katalox Data Set (*.ktb)")),
        QStringLiteral("/data/New.ktb"));
    EXPECT_EQ(questions().chooseFolder(QStringLiteral("Storage"), QStringLiteral("/")), QStringLiteral("/data/"));

    ASSERT_EQ(script.asked().size(), 6u);
    const AskedQuestion& first = script.asked()[0];
    EXPECT_EQ(first.kind, QuestionKind::MessageBox);
    EXPECT_EQ(first.caption, QStringLiteral("Confirm Delete"));
    EXPECT_EQ(first.text, QStringLiteral("Delete?"));
    EXPECT_EQ(first.icon, MessageIcon::Warning);
    EXPECT_EQ(first.buttons, YesButton | NoButton);
    EXPECT_TRUE(first.ownerless);
    EXPECT_EQ(script.asked()[2].kind, QuestionKind::InputBox);
    EXPECT_TRUE(script.asked()[2].password);
    EXPECT_EQ(script.asked()[4].filter, QStringLiteral("Katalox Data Set (*.ktb)"));
    EXPECT_EQ(script.asked()[5].start, QStringLiteral("/"));
    EXPECT_EQ(script.messageTexts(), QStringList({ QStringLiteral("Delete?"), QStringLiteral("Done") }));
    EXPECT_EQ(script.pendingAnswers(), 0u);
}

TEST(ScriptedQuestions, EndingRestoresTheDefault)
{
    Questions* outside = &questions();
    {
        ScriptedQuestions script;
        EXPECT_NE(&questions(), outside);
    }
    EXPECT_EQ(&questions(), outside);
}

TEST(ScriptedQuestions, FailsOnQuestionsTheTestDidNotExpect)
{
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedQuestions script;
            EXPECT_EQ(questions().messageBox(QStringLiteral("Overwrite?"), QStringLiteral("Confirm"),
                          MessageIcon::Question, YesButton | NoButton),
                NoButton);
        },
        "Unexpected message box \"Confirm\": Overwrite? (no answer was queued)");

    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedQuestions script;
            script.answerFolder(QStringLiteral("/data/"));
            QString value;
            EXPECT_FALSE(questions().inputBox(QStringLiteral("Name"), QStringLiteral("New name:"), value));
            script.clearAsked();
            EXPECT_EQ(questions().chooseFolder(QStringLiteral("Storage"), QString()), QStringLiteral("/data/"));
        },
        "the next queued answer is for a folder picker");

    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedQuestions script;
            script.answerMessage(YesButton);
            EXPECT_EQ(questions().messageBox(QStringLiteral("Go on?"), QStringLiteral("Scan"), MessageIcon::Question,
                          OkButton | CancelButton),
                CancelButton);
        },
        "is not a button of the message box \"Scan\": Go on?");

    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedQuestions script;
            script.answerMessage(YesButton);
        },
        "1 queued answer(s) were never asked for; the first was for a message box");
}

} // namespace
