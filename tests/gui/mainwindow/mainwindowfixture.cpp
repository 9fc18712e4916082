#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "platform/configfolder.h"

#include <QApplication>
#include <filesystem>

void MainWindowFixture::SetUp()
{
    setConfigFolder(m_temp.path());
    std::filesystem::create_directories(storage());
    m_questions = std::make_unique<ScriptedQuestions>();
}

void MainWindowFixture::TearDown()
{
    stop();
    m_questions.reset();
    setConfigFolder(std::string());
}

void MainWindowFixture::writeSettings(const std::string& lines)
{
    std::string text = "[Settings]\r\nFilesetFolder=" + storage() + "\r\n" + lines;
    ASSERT_TRUE(writeFileBytes(m_temp.file("Settings.ini"), text));
}

void MainWindowFixture::start()
{
    m_objects = std::make_unique<ProgramObjects>();
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QApplication::processEvents();
}

void MainWindowFixture::stop()
{
    if (m_window != nullptr) {
        m_window->close();
        m_window.reset();
    }
    m_objects.reset();
}

void MainWindowFixture::buildStandardFilesets()
{
    CatalogBuilder music;
    music.setOwner("Alice").setName("Music");
    m_disc1 = music.beginDisc({ .serial = 0x11, .title = "Disc 1", .used = 5000 });
    m_rock = music.beginFolder("Rock");
    music.addFile("song.mp3", 4000, CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 0));
    music.beginFolder("Live");
    music.addFile("concert.mp3", 9000, CatalogBuilder::dosDateTime(2004, 1, 2, 3, 4, 6));
    music.endFolder();
    music.endFolder();
    m_jazz = music.beginFolder("Jazz");
    music.endFolder();
    music.addFile("readme.txt", 100, 0);
    music.endDisc();
    m_audioDisc = music.addEmptyDisc({ .serial = 0x22, .title = "Audio", .flags = 1 });
    ASSERT_TRUE(music.writeTo(storage() + "music.ktb"));

    CatalogBuilder empty;
    empty.setOwner("Alice").setName("Empty");
    ASSERT_TRUE(empty.writeTo(storage() + "empty.ktb"));

    CatalogBuilder photos;
    photos.setOwner("bob").setName("Photos");
    photos.beginDisc({ .serial = 0x33, .title = "Holiday 2003" });
    photos.addFile("beach.jpg", 2000, CatalogBuilder::dosDateTime(2003, 8, 2, 0, 0, 0));
    photos.endDisc();
    ASSERT_TRUE(photos.writeTo(storage() + "photos.ktb"));

    CatalogBuilder misc;
    ASSERT_TRUE(misc.writeTo(storage() + "Misc.ktb"));
}

NavigationNode* MainWindowFixture::node(const QString& path) { return findNodeByPath(&tree(), path); }
