// The folder picker: the status line's path shortening, the component's properties, Execute through
// the scripted picker, and the chooser of its own with the extra button, the status line and the events.
#include "tests/gui/dialogs/windowsfixture.h"

#include "gui/dialogs/folderpicker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

namespace {

// Enters a folder in the chooser as a double-click in its list does.
void enterFolder(QFileDialog* dialog, const QString& folder)
{
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(list, nullptr);
    auto* model = qobject_cast<QFileSystemModel*>(list->model());
    ASSERT_NE(model, nullptr);
    emit list->activated(model->index(folder));
}

struct Shortening {
    const char* name;
    QString path;
    QChar separator;
    QString shown;
    friend void PrintTo(const Shortening& example, std::ostream* out) { *out << example.name; }
};

class PathShortening : public ::testing::TestWithParam<Shortening> { };

TEST_P(PathShortening, KeepsTheStatusLineShort)
{
    const Shortening& example = GetParam();
    EXPECT_EQ(ShortenPath(example.path, example.separator), example.shown);
}

INSTANTIATE_TEST_SUITE_P(StatusLine, PathShortening,
    ::testing::Values(Shortening { "ShortPathAsItIs", QStringLiteral("C:\\Program Files\\Some Vendor\\Data"),
                          QLatin1Char('\\'), QStringLiteral("C:\\Program Files\\Some Vendor\\Data") },
        // 35 characters exactly: shown unshortened.
        Shortening { "ExactlyTheLimit", QStringLiteral("C:\\Program Files\\Some Vendor\\Prod.x"), QLatin1Char('\\'),
            QStringLiteral("C:\\Program Files\\Some Vendor\\Prod.x") },
        // Fewer than three parts cannot be shortened, however long.
        Shortening { "TwoLongParts", QStringLiteral("C:\\A folder name that is far too long to be shown"),
            QLatin1Char('\\'), QStringLiteral("C:\\A folder name that is far too long to be shown") },
        Shortening { "SecondPartGoesFirst", QStringLiteral("C:\\Program Files\\Some Vendor\\Product\\Data"),
            QLatin1Char('\\'), QStringLiteral("C:\\...\\Some Vendor\\Product\\Data") },
        Shortening { "ThenThePartAfterTheFiller",
            QStringLiteral("C:\\Program Files\\Some Vendor Incorporated\\Product\\Data"), QLatin1Char('\\'),
            QStringLiteral("C:\\...\\Product\\Data") },
        Shortening { "DownToThreeParts",
            QStringLiteral("C:\\Program Files\\Some Vendor\\A Product With A Long Name\\Data"), QLatin1Char('\\'),
            QStringLiteral("C:\\...\\Data") },
        // Four parts: first, filler, the last two; then first, filler, last.
        Shortening { "FourPartsKeepTheLastTwo", QStringLiteral("D:\\Collections\\Photographs 2003\\Summer"),
            QLatin1Char('\\'), QStringLiteral("D:\\...\\Photographs 2003\\Summer") },
        Shortening { "FourPartsKeepTheLast", QStringLiteral("D:\\Collections\\Photographs from 2003\\Summer holiday"),
            QLatin1Char('\\'), QStringLiteral("D:\\...\\Summer holiday") },
        // Three parts never lose more than the second: the result may stay long.
        Shortening { "ThreePartsStayLong", QStringLiteral("D:\\Collections\\A very long last folder name here"),
            QLatin1Char('\\'), QStringLiteral("D:\\...\\A very long last folder name here") },
        // File-system paths here begin with the separator: the empty first part stays.
        Shortening { "LinuxPath", QStringLiteral("/home/anna/Music/Collections/Rock/Live"), QLatin1Char('/'),
            QStringLiteral("/.../Music/Collections/Rock/Live") },
        Shortening { "LongLinuxPath", QStringLiteral("/home/anna/Music/Collections of records/Rock/Live"),
            QLatin1Char('/'), QStringLiteral("/.../Rock/Live") }),
    [](const ::testing::TestParamInfo<Shortening>& info) { return std::string(info.param.name); });

TEST(BrowseFolderProperties, DefaultsAndTheButtonWidthRule)
{
    TBrowseFolder picker;
    EXPECT_TRUE(picker.Directory().isEmpty());
    EXPECT_TRUE(picker.Title().isEmpty());
    EXPECT_EQ(picker.Flags(), TBrowseInfoFlags(bfFileSysDirsOnly) | bfStatusText);
    EXPECT_EQ(static_cast<int>(picker.Flags()), 5) << "the sum of the option values";
    EXPECT_FALSE(picker.ShowPathInStatusArea());
    EXPECT_EQ(picker.RootFolder(), foDesktopExpanded);
    EXPECT_FALSE(picker.CustomButtonVisible());
    EXPECT_TRUE(picker.CustomButtonEnabled());
    EXPECT_TRUE(picker.CustomButtonCaption().isEmpty());
    EXPECT_EQ(picker.CustomButtonType(), btPushButton);
    EXPECT_FALSE(picker.CustomButtonChecked());
    EXPECT_FALSE(picker.SyncCustomButton());
    EXPECT_EQ(picker.CustomButtonWidth(), 75);
    picker.SetCustomButtonWidth(120);
    EXPECT_EQ(picker.CustomButtonWidth(), 120);
    picker.SetCustomButtonWidth(0);
    EXPECT_EQ(picker.CustomButtonWidth(), 75);
    picker.SetCustomButtonWidth(-3);
    EXPECT_EQ(picker.CustomButtonWidth(), 75);
    EXPECT_TRUE(SpecialFolderPath(foDesktopExpanded).isEmpty()) << "no explicit root";
    EXPECT_EQ(SpecialFolderPath(foMyComputer), QStringLiteral("/"));
}

class BrowseFolderTest : public WindowsFixture { };

TEST_F(BrowseFolderTest, ExecuteHandsBackTheChosenFolder)
{
    const QString start = tempPath("");
    const QString chosen = storagePath();
    TBrowseFolder picker;
    picker.SetDirectory(start);
    m_questions->answerFolder(chosen);
    EXPECT_TRUE(picker.Execute());
    EXPECT_EQ(picker.Directory(), chosen);
    EXPECT_EQ(picker.SelectionPath(), chosen);
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked()[0].kind, QuestionKind::ChooseFolder);
    EXPECT_EQ(m_questions->asked()[0].start, start) << "an existing folder is preselected";
    EXPECT_EQ(m_questions->asked()[0].caption, QStringLiteral("Browse for Folder"));
}

TEST_F(BrowseFolderTest, CancelLeavesTheDirectoryAndAMissingOneStartsAtTheRoot)
{
    const QString missing = tempPath("no such folder");
    TBrowseFolder picker;
    picker.SetTitle(QStringLiteral("Where are the filesets?"));
    picker.SetDirectory(missing);
    m_questions->answerFolder(QString());
    EXPECT_FALSE(picker.Execute());
    EXPECT_EQ(picker.Directory(), missing);
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked()[0].start, QDir::homePath());
    EXPECT_EQ(m_questions->asked()[0].caption, QStringLiteral("Where are the filesets?"));
}

// The chooser of the component itself: the extra check box, its caption changed while open, the
// status line, the events, and the check box's state read back on OK.
TEST_F(BrowseFolderTest, TheOwnChooserCarriesTheExtraButtonAndReportsTheSelection)
{
    const std::string inner = storage() + "A folder with a long enough name/Inside it";
    std::filesystem::create_directories(inner);
    const QString chosen = QString::fromStdString(inner);
    TBrowseFolder picker;
    picker.SetDirectory(storagePath());
    picker.SetCustomButtonVisible(true);
    picker.SetCustomButtonType(btCheckBox);
    picker.SetCustomButtonCaption(QStringLiteral("Include sub-folders"));
    picker.SetCustomButtonWidth(140);
    picker.SetShowPathInStatusArea(true);
    int initialized = 0;
    QStringList selections;
    QString statusText;
    picker.OnInitialized = [&](TBrowseFolder* sender, QFileDialog* dialog) {
        ++initialized;
        EXPECT_EQ(sender, &picker);
        EXPECT_EQ(dialog, picker.DialogHandle());
        auto* box = qobject_cast<QCheckBox*>(picker.CustomButton());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->parentWidget()->window(), dialog);
        EXPECT_EQ(box->text(), QStringLiteral("Include sub-folders"));
        EXPECT_EQ(box->width(), 140);
        EXPECT_EQ(box->height(), 23);
        EXPECT_FALSE(box->isChecked());
        picker.SetCustomButtonCaption(QStringLiteral("Recurse"));
        EXPECT_EQ(box->text(), QStringLiteral("Recurse")) << "applied while the chooser is open";
        QTimer::singleShot(0, dialog, [&picker, dialog, box, chosen, &statusText] {
            box->click();
            enterFolder(dialog, chosen);
            if (auto* status = dialog->findChild<QLabel*>(QStringLiteral("StatusLine"))) {
                statusText = status->text();
            }
            static_cast<QDialog*>(dialog)->accept();
        });
    };
    picker.OnSelectionChanged
        = [&](TBrowseFolder*, QFileDialog*, const QUrl&, const QString& directory) { selections << directory; };

    ASSERT_TRUE(picker.Execute());
    EXPECT_EQ(initialized, 1);
    EXPECT_EQ(QDir::cleanPath(picker.Directory()), QDir::cleanPath(chosen));
    EXPECT_TRUE(picker.CustomButtonChecked()) << "read back when the user pressed OK";
    EXPECT_EQ(picker.DialogHandle(), nullptr);
    ASSERT_FALSE(selections.isEmpty());
    EXPECT_EQ(QDir::cleanPath(selections.back()), QDir::cleanPath(chosen));
    EXPECT_EQ(statusText, ShortenPath(chosen));
    EXPECT_TRUE(m_questions->asked().empty()) << "the component's own chooser";
}

TEST_F(BrowseFolderTest, CancellingTheOwnChooserKeepsDirectoryAndCheckState)
{
    TBrowseFolder picker;
    picker.SetDirectory(storagePath());
    picker.SetCustomButtonVisible(true);
    picker.SetCustomButtonType(btCheckBox);
    picker.SetCustomButtonChecked(true);
    picker.OnInitialized = [](TBrowseFolder* sender, QFileDialog* dialog) {
        QTimer::singleShot(0, dialog, [sender, dialog] {
            ASSERT_TRUE(sender->CustomButton()->isChecked());
            sender->CustomButton()->click();
            dialog->setDirectory(QDir::rootPath());
            dialog->reject();
        });
    };
    EXPECT_FALSE(picker.Execute());
    EXPECT_EQ(picker.Directory(), storagePath());
    EXPECT_TRUE(picker.CustomButtonChecked()) << "only OK reads the check box back";
}

TEST_F(BrowseFolderTest, TheExtraPushButtonCallsItsEventAndCanFollowTheOkButton)
{
    TBrowseFolder picker;
    picker.SetDirectory(storagePath());
    picker.SetCustomButtonVisible(true);
    picker.SetCustomButtonCaption(QStringLiteral("New Folder"));
    picker.SetCustomButtonEnabled(false);
    picker.SetSyncCustomButton(true);
    int clicks = 0;
    bool followedDisabled = false;
    bool followedEnabled = false;
    picker.OnCustomButtonClick = [&](TBrowseFolder*, QFileDialog* dialog) {
        ++clicks;
        dialog->reject();
    };
    picker.OnInitialized = [&](TBrowseFolder* sender, QFileDialog* dialog) {
        QTimer::singleShot(0, dialog, [&, sender, dialog] {
            QAbstractButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
            ASSERT_NE(ok, nullptr);
            EXPECT_TRUE(sender->CustomButton()->isEnabled()) << "synchronised with the enabled OK button";
            ok->setEnabled(false);
            followedDisabled = !sender->CustomButton()->isEnabled();
            ok->setEnabled(true);
            followedEnabled = sender->CustomButton()->isEnabled();
            EXPECT_TRUE(qobject_cast<QPushButton*>(sender->CustomButton()) != nullptr);
            sender->CustomButton()->click();
        });
    };
    EXPECT_FALSE(picker.Execute());
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(followedDisabled);
    EXPECT_TRUE(followedEnabled);
}

} // namespace
