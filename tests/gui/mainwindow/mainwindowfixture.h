#pragma once
// A main window over filesets a test builds: a temporary config folder (Settings.ini, ktblist.lst), a
// storage folder "Filesets/" inside it, the scripted questions, the process-wide objects and MainWindow.

#include "gui/common/programobjects.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/navigationtree.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/scriptedquestions.h"
#include "tests/support/tempfolder.h"

#include <QString>
#include <gtest/gtest.h>
#include <memory>

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The storage folder, ending in "/".
    std::string storage() const { return m_temp.path() + "Filesets/"; }
    QString storagePath() const { return QString::fromStdString(storage()); }
    /// Writes Settings.ini with FilesetFolder set to the storage folder and the given further lines.
    void writeSettings(const std::string& lines = {});
    /// Creates the process-wide objects and the window, and shows it (which runs handleFirstShow).
    void start();
    /// Closes and releases the window and the process-wide objects (writes what closing writes).
    void stop();

    /// Alice's "Music" (discs "Disc 1" with Rock/Jazz and files, and an audio disc), Alice's "Empty",
    /// bob's "Photos", and an unowned fileset "Misc.ktb".
    void buildStandardFilesets();

    NavigationNode* node(const QString& path);
    MainWindow& window() { return *m_window; }
    NavigationTree& tree() { return *m_window->navigationTree; }

    TempFolder m_temp;
    std::unique_ptr<ScriptedQuestions> m_questions;
    std::unique_ptr<ProgramObjects> m_objects;
    std::unique_ptr<MainWindow> m_window;

    // Offsets in Alice's "Music".
    std::uint32_t m_disc1 = 0;
    std::uint32_t m_rock = 0;
    std::uint32_t m_jazz = 0;
    std::uint32_t m_audioDisc = 0;
};
