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
    EXPECT_EQ(shortenPath(example.path, example.separator), example.shown);
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

TEST(FolderPickerProperties, DefaultsAndTheButtonWidthRule)
{
    FolderPicker picker;
    EXPECT_TRUE(picker.directory().isEmpty());
    EXPECT_TRUE(picker.title().isEmpty());
    EXPECT_EQ(picker.flags(), FolderPickerFlags(FileSystemFoldersOnly) | StatusText);
    EXPECT_EQ(static_cast<int>(picker.flags()), 5) << "the sum of the option values";
    EXPECT_FALSE(picker.showPathInStatusArea());
    EXPECT_EQ(picker.rootFolder(), ExpandedDesktopFolder);
    EXPECT_FALSE(picker.customButtonVisible());
    EXPECT_TRUE(picker.customButtonEnabled());
    EXPECT_TRUE(picker.customButtonCaption().isEmpty());
    EXPECT_EQ(picker.customButtonType(), PushButtonType);
    EXPECT_FALSE(picker.customButtonChecked());
    EXPECT_FALSE(picker.syncCustomButton());
    EXPECT_EQ(picker.customButtonWidth(), 75);
    picker.setCustomButtonWidth(120);
    EXPECT_EQ(picker.customButtonWidth(), 120);
    picker.setCustomButtonWidth(0);
    EXPECT_EQ(picker.customButtonWidth(), 75);
    picker.setCustomButtonWidth(-3);
    EXPECT_EQ(picker.customButtonWidth(), 75);
    EXPECT_TRUE(specialFolderPath(ExpandedDesktopFolder).isEmpty()) << "no explicit root";
    EXPECT_EQ(specialFolderPath(MyComputerFolder), QStringLiteral("/"));
}

class FolderPickerTest : public WindowsFixture { };

TEST_F(FolderPickerTest, ExecuteHandsBackTheChosenFolder)
{
    const QString start = tempPath("");
    const QString chosen = storagePath();
    FolderPicker picker;
    picker.setDirectory(start);
    m_questions->answerFolder(chosen);
    EXPECT_TRUE(picker.execute());
    EXPECT_EQ(picker.directory(), chosen);
    EXPECT_EQ(picker.selectionPath(), chosen);
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked()[0].kind, QuestionKind::ChooseFolder);
    EXPECT_EQ(m_questions->asked()[0].start, start) << "an existing folder is preselected";
    EXPECT_EQ(m_questions->asked()[0].caption, QStringLiteral("Browse for Folder"));
}

TEST_F(FolderPickerTest, CancelLeavesTheDirectoryAndAMissingOneStartsAtTheRoot)
{
    const QString missing = tempPath("no such folder");
    FolderPicker picker;
    picker.setTitle(QStringLiteral("Where are the filesets?"));
    picker.setDirectory(missing);
    m_questions->answerFolder(QString());
    EXPECT_FALSE(picker.execute());
    EXPECT_EQ(picker.directory(), missing);
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked()[0].start, QDir::homePath());
    EXPECT_EQ(m_questions->asked()[0].caption, QStringLiteral("Where are the filesets?"));
}

// The chooser of the component itself: the extra check box, its caption changed while open, the
// status line, the events, and the check box's state read back on OK.
TEST_F(FolderPickerTest, TheOwnChooserCarriesTheExtraButtonAndReportsTheSelection)
{
    const std::string inner = storage() + "A folder with a long enough name/Inside it";
    std::filesystem::create_directories(inner);
    const QString chosen = QString::fromStdString(inner);
    FolderPicker picker;
    picker.setDirectory(storagePath());
    picker.setCustomButtonVisible(true);
    picker.setCustomButtonType(CheckBoxType);
    picker.setCustomButtonCaption(QStringLiteral("Include sub-folders"));
    picker.setCustomButtonWidth(140);
    picker.setShowPathInStatusArea(true);
    int initialized = 0;
    QStringList selections;
    QString statusText;
    picker.onInitialized = [&](FolderPicker* sender, QFileDialog* dialog) {
        ++initialized;
        EXPECT_EQ(sender, &picker);
        EXPECT_EQ(dialog, picker.dialog());
        auto* box = qobject_cast<QCheckBox*>(picker.customButton());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->parentWidget()->window(), dialog);
        EXPECT_EQ(box->text(), QStringLiteral("Include sub-folders"));
        EXPECT_EQ(box->width(), 140);
        EXPECT_EQ(box->height(), 23);
        EXPECT_FALSE(box->isChecked());
        picker.setCustomButtonCaption(QStringLiteral("Recurse"));
        EXPECT_EQ(box->text(), QStringLiteral("Recurse")) << "applied while the chooser is open";
        QTimer::singleShot(0, dialog, [&picker, dialog, box, chosen, &statusText] {
            box->click();
            enterFolder(dialog, chosen);
            if (auto* status = dialog->findChild<QLabel*>(QStringLiteral("statusLine"))) {
                statusText = status->text();
            }
            static_cast<QDialog*>(dialog)->accept();
        });
    };
    picker.onSelectionChanged
        = [&](FolderPicker*, QFileDialog*, const QUrl&, const QString& directory) { selections << directory; };

    ASSERT_TRUE(picker.execute());
    EXPECT_EQ(initialized, 1);
    EXPECT_EQ(QDir::cleanPath(picker.directory()), QDir::cleanPath(chosen));
    EXPECT_TRUE(picker.customButtonChecked()) << "read back when the user pressed OK";
    EXPECT_EQ(picker.dialog(), nullptr);
    ASSERT_FALSE(selections.isEmpty());
    EXPECT_EQ(QDir::cleanPath(selections.back()), QDir::cleanPath(chosen));
    EXPECT_EQ(statusText, shortenPath(chosen));
    EXPECT_TRUE(m_questions->asked().empty()) << "the component's own chooser";
}

TEST_F(FolderPickerTest, CancellingTheOwnChooserKeepsDirectoryAndCheckState)
{
    FolderPicker picker;
    picker.setDirectory(storagePath());
    picker.setCustomButtonVisible(true);
    picker.setCustomButtonType(CheckBoxType);
    picker.setCustomButtonChecked(true);
    picker.onInitialized = [](FolderPicker* sender, QFileDialog* dialog) {
        QTimer::singleShot(0, dialog, [sender, dialog] {
            ASSERT_TRUE(sender->customButton()->isChecked());
            sender->customButton()->click();
            dialog->setDirectory(QDir::rootPath());
            dialog->reject();
        });
    };
    EXPECT_FALSE(picker.execute());
    EXPECT_EQ(picker.directory(), storagePath());
    EXPECT_TRUE(picker.customButtonChecked()) << "only OK reads the check box back";
}

TEST_F(FolderPickerTest, TheExtraPushButtonCallsItsEventAndCanFollowTheOkButton)
{
    FolderPicker picker;
    picker.setDirectory(storagePath());
    picker.setCustomButtonVisible(true);
    picker.setCustomButtonCaption(QStringLiteral("New Folder"));
    picker.setCustomButtonEnabled(false);
    picker.setSyncCustomButton(true);
    int clicks = 0;
    bool followedDisabled = false;
    bool followedEnabled = false;
    picker.onCustomButtonClick = [&](FolderPicker*, QFileDialog* dialog) {
        ++clicks;
        dialog->reject();
    };
    picker.onInitialized = [&](FolderPicker* sender, QFileDialog* dialog) {
        QTimer::singleShot(0, dialog, [&, sender, dialog] {
            QAbstractButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
            ASSERT_NE(ok, nullptr);
            EXPECT_TRUE(sender->customButton()->isEnabled()) << "synchronised with the enabled OK button";
            ok->setEnabled(false);
            followedDisabled = !sender->customButton()->isEnabled();
            ok->setEnabled(true);
            followedEnabled = sender->customButton()->isEnabled();
            EXPECT_TRUE(qobject_cast<QPushButton*>(sender->customButton()) != nullptr);
            sender->customButton()->click();
        });
    };
    EXPECT_FALSE(picker.execute());
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(followedDisabled);
    EXPECT_TRUE(followedEnabled);
}

} // namespace
