// System icons: icon lookups by name alone against an icon theme the test builds.
#include "gui/common/systemicons.h"

#include "tests/support/tempfolder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QString qPath(const std::string& path) { return QString::fromStdString(path); }

// An icon theme in a temporary folder with 16 x 16 images of the given names, installed as the
// application's theme while the object lives.
class TestIconTheme {
public:
    explicit TestIconTheme(const QStringList& mimeIcons, const QStringList& placeIcons)
    {
        const QString root = qPath(m_folder.path()) + QStringLiteral("katalox-test/");
        QDir().mkpath(root + QStringLiteral("16x16/mimetypes"));
        QDir().mkpath(root + QStringLiteral("16x16/places"));
        QFile index(root + QStringLiteral("index.theme"));
        if (!index.open(QIODevice::WriteOnly)) {
            ADD_FAILURE() << "cannot write the test icon theme";
            return;
        }
        index.write("[Icon Theme]\nName=katalox-test\nDirectories=16x16/mimetypes,16x16/places\n\n"
                    "[16x16/mimetypes]\nSize=16\nType=Fixed\n\n[16x16/places]\nSize=16\nType=Fixed\n");
        index.close();
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::darkBlue);
        for (const QString& name : mimeIcons) {
            EXPECT_TRUE(image.save(root + QStringLiteral("16x16/mimetypes/") + name + QStringLiteral(".png")));
        }
        for (const QString& name : placeIcons) {
            EXPECT_TRUE(image.save(root + QStringLiteral("16x16/places/") + name + QStringLiteral(".png")));
        }
        m_previousPaths = QIcon::themeSearchPaths();
        m_previousName = QIcon::themeName();
        QIcon::setThemeSearchPaths({ qPath(m_folder.path()) });
        QIcon::setThemeName(QStringLiteral("katalox-test"));
        releaseSystemIcons();
    }
    ~TestIconTheme()
    {
        releaseSystemIcons();
        QIcon::setThemeSearchPaths(m_previousPaths);
        QIcon::setThemeName(m_previousName);
    }
    TestIconTheme(const TestIconTheme&) = delete;
    TestIconTheme& operator=(const TestIconTheme&) = delete;

    const TempFolder& folder() const { return m_folder; }

private:
    TempFolder m_folder;
    QStringList m_previousPaths;
    QString m_previousName;
};

class ShellIconTest : public testing::Test {
protected:
    TestIconTheme m_theme { { QStringLiteral("text-plain"), QStringLiteral("text-x-generic"),
                                QStringLiteral("audio-x-generic") },
        { QStringLiteral("folder"), QStringLiteral("folder-open") } };
};

TEST_F(ShellIconTest, NamesOfOneExtensionShareOneIconInAnyLetterCase)
{
    const int text = systemIconIndex(QStringLiteral("a.txt"), false);
    ASSERT_GE(text, 0);
    EXPECT_EQ(systemIconIndex(QStringLiteral("b.TXT"), false), text);
    EXPECT_EQ(systemIconIndex(QStringLiteral("Notes.Txt"), false), text);
    EXPECT_EQ(systemIconIndex(QStringLiteral("a.txt"), true), text);
    EXPECT_EQ(systemIcons().icon(text).name(), QStringLiteral("text-plain"));
}

TEST_F(ShellIconTest, FolderIconsDifferFromFileIcons)
{
    const int closed = systemIconIndex(QString(), false);
    const int open = systemIconIndex(QString(), true);
    ASSERT_GE(closed, 0);
    ASSERT_GE(open, 0);
    EXPECT_NE(closed, open);
    EXPECT_NE(systemIconIndex(QStringLiteral("a.txt"), false), closed);
    EXPECT_EQ(systemIcons().icon(closed).name(), QStringLiteral("folder"));
    EXPECT_EQ(systemIcons().icon(open).name(), QStringLiteral("folder-open"));
}

TEST_F(ShellIconTest, NamesAreJudgedWithoutTouchingAnyFile)
{
    // A folder named like a text file gets the text icon: nothing looked at the disc.
    const std::string folder = m_theme.folder().file("looks like.txt");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const int text = systemIconIndex(QStringLiteral("a.txt"), false);
    EXPECT_EQ(systemIconIndex(qPath(folder), false), text);
    EXPECT_EQ(systemIconIndex(QStringLiteral("/no/such/disc/Readme.txt"), false), text);
}

TEST_F(ShellIconTest, TypesWithoutOwnIconGetTheirGenericIcon)
{
    // C sources and headers have no icon of their own in the theme: both get the generic text icon.
    const int generic = systemIconIndex(QStringLiteral("main.c"), false);
    ASSERT_GE(generic, 0);
    EXPECT_EQ(systemIcons().icon(generic).name(), QStringLiteral("text-x-generic"));
    EXPECT_EQ(systemIconIndex(QStringLiteral("main.h"), false), generic);
    EXPECT_NE(systemIconIndex(QStringLiteral("a.txt"), false), generic);

    const int audio = systemIconIndex(QStringLiteral("Track01.mp3"), false);
    EXPECT_EQ(systemIcons().icon(audio).name(), QStringLiteral("audio-x-generic"));
    EXPECT_EQ(systemIconIndex(QStringLiteral("song.ogg"), false), audio);
}

TEST_F(ShellIconTest, IndexesStayStableAndTheListHoldsEachIconOnce)
{
    const int text = systemIconIndex(QStringLiteral("a.txt"), false);
    const int folder = systemIconIndex(QString(), false);
    for (int n = 0; n < 3000; ++n) {
        const QString number = QString::number(n);
        systemIconIndex(QStringLiteral("file") + number + QStringLiteral(".txt"), false);
        systemIconIndex(QStringLiteral("song") + number + QStringLiteral(".mp3"), false);
        systemIconIndex(QStringLiteral("part.") + number, false);
    }
    EXPECT_EQ(systemIconIndex(QStringLiteral("a.txt"), false), text);
    EXPECT_EQ(systemIconIndex(QString(), false), folder);
    // folder, text-plain, audio-x-generic, and text-x-generic for the unknown extensions.
    EXPECT_EQ(systemIcons().count(), 4);
    EXPECT_TRUE(systemIcons().icon(systemIcons().count()).isNull());
    EXPECT_TRUE(systemIcons().icon(-1).isNull());
}

TEST_F(ShellIconTest, GetShellIconAnswersFolderIconsForEmptyPath)
{
    QIcon icon;
    ASSERT_TRUE(shellIcon(QString(), false, icon));
    EXPECT_EQ(icon.name(), QStringLiteral("folder"));
    ASSERT_TRUE(shellIcon(QString(), true, icon));
    EXPECT_EQ(icon.name(), QStringLiteral("folder-open"));
    ASSERT_TRUE(shellIcon(QStringLiteral("x.txt"), false, icon));
    EXPECT_EQ(icon.name(), QStringLiteral("text-plain"));
}

TEST(ShellIconWithoutTheme, AnswersNoIcon)
{
    const TestIconTheme empty({}, {});
    EXPECT_EQ(systemIconIndex(QStringLiteral("a.txt"), false), -1);
    EXPECT_EQ(systemIconIndex(QString(), false), -1);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    QIcon icon(pixmap);
    EXPECT_FALSE(shellIcon(QString(), false, icon));
    EXPECT_TRUE(icon.isNull());
    EXPECT_EQ(systemIcons().count(), 0);
}

} // namespace
