// One program per config folder: a later start hands its catalog (or a bare raise) to the running one
// over the local socket, a socket file left by a program that died is taken over, and what is not a
// start of this program is dropped.
#include "gui/common/singleinstance.h"

#include "tests/support/tempfolder.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>

namespace {

class SingleInstanceTest : public testing::Test {
protected:
    QString serverName() const { return QString::fromStdString(m_temp.file("katalox.socket")); }

    /// Hands path over from another thread, as a second process would, while this one serves.
    bool handOverFromAnotherStart(const QString& path)
    {
        std::future<bool> taken
            = std::async(std::launch::async, [this, path] { return SingleInstance::handOver(serverName(), path); });
        while (taken.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
            QCoreApplication::processEvents();
        }
        return taken.get();
    }

    TempFolder m_temp;
};

TEST_F(SingleInstanceTest, ALaterStartHandsItsFileOrARaiseToTheRunningProgram)
{
    EXPECT_FALSE(SingleInstance::handOver(serverName(), QStringLiteral("/a.ktb"), 200)) << "nobody runs yet";

    SingleInstance running(serverName());
    ASSERT_TRUE(running.listen());
    QSignalSpy files(&running, &SingleInstance::fileRequested);
    QSignalSpy raises(&running, &SingleInstance::raiseRequested);

    const QString catalog = QStringLiteral("/home/anna/Catalogs/Musik ä.ktb");
    EXPECT_TRUE(handOverFromAnotherStart(catalog));
    ASSERT_TRUE(QTest::qWaitFor([&] { return files.size() == 1; }));
    EXPECT_EQ(files.at(0).at(0).toString(), catalog);
    EXPECT_TRUE(handOverFromAnotherStart(QString()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return raises.size() == 1; }));

    SingleInstance second(serverName());
    EXPECT_FALSE(second.listen()) << "the second program must not take the socket";

    // Another local program that sends anything but an absolute path gets nothing opened.
    QLocalSocket stranger;
    stranger.connectToServer(serverName());
    ASSERT_TRUE(stranger.waitForConnected(1000));
    stranger.write("relative/path.ktb\n");
    stranger.flush();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stranger.state() == QLocalSocket::UnconnectedState; }));
    QLocalSocket flood;
    flood.connectToServer(serverName());
    ASSERT_TRUE(flood.waitForConnected(1000));
    flood.write(QByteArray(SingleInstance::MessageMax + 10, 'x'));
    flood.flush();
    ASSERT_TRUE(QTest::qWaitFor([&] { return flood.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(files.size(), 1);
}

TEST_F(SingleInstanceTest, TheSocketFileOfAProgramThatDiedIsTakenOver)
{
    ASSERT_TRUE(writeFileBytes(m_temp.file("katalox.socket"), ""));
    SingleInstance running(serverName());
    ASSERT_TRUE(running.listen());
    QSignalSpy files(&running, &SingleInstance::fileRequested);
    EXPECT_TRUE(handOverFromAnotherStart(QStringLiteral("/b.ktb")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return files.size() == 1; }));
}

TEST_F(SingleInstanceTest, EachConfigFolderHasItsOwnProgram)
{
    EXPECT_NE(SingleInstance::serverNameFor(QStringLiteral("/home/anna/.config/katalox/")),
        SingleInstance::serverNameFor(QStringLiteral("/opt/katalox-portable/")));
    EXPECT_EQ(SingleInstance::serverNameFor(QStringLiteral("/home/anna/.config/katalox/")),
        SingleInstance::serverNameFor(QStringLiteral("/home/anna/.config/katalox")));
}

} // namespace
