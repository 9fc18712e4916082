// One program per config folder: a later start hands its catalog (or a bare raise) to the running one
// over the local socket, a socket file left by a program that died is taken over, and what is not a
// start of this program is dropped.
#include "gui/common/singleinstance.h"

#include "tests/support/tempfolder.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

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

/// Sets an environment variable (unsets it for an empty value) while it lives.
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const QByteArray& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        value.isEmpty() ? qunsetenv(name) : qputenv(name, value);
    }
    ~EnvironmentValue() { m_had ? qputenv(m_name, m_old) : qunsetenv(m_name); }
    EnvironmentValue(const EnvironmentValue&) = delete;
    EnvironmentValue& operator=(const EnvironmentValue&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

/// Reads a descriptor to its end, or for at most five seconds of silence.
std::string readToEnd(int descriptor, const std::function<void(const std::string&)>& onData = {})
{
    std::string text;
    pollfd waiting { descriptor, POLLIN, 0 };
    char buffer[256];
    while (::poll(&waiting, 1, 5000) > 0) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        if (onData) {
            onData(text);
        }
    }
    return text;
}

/// The owner and mode of a path itself (a link is not followed).
std::pair<uid_t, mode_t> ownerAndMode(const std::string& path)
{
    struct stat status { };
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return { status.st_uid, status.st_mode };
}

TEST_F(SingleInstanceTest, TheSocketIsInAFolderOnlyItsUserMayEnter)
{
    // A temporary folder every user may write in, as /tmp.
    const std::string shared = m_temp.file("tmp");
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    const EnvironmentValue temporary("TMPDIR", QByteArray::fromStdString(shared));
    const std::string own = shared + "/katalox-" + std::to_string(::geteuid());
    const bool root = ::geteuid() == 0;
    if (root) {
        // Another user took the runtime folder's usual name first.
        const std::string taken = shared + "/runtime-root";
        std::filesystem::create_directory(taken);
        ASSERT_EQ(::chown(taken.c_str(), 65534, 65534), 0);
    }
    // A session folder that others may enter is passed over.
    const std::string open = m_temp.file("open");
    std::filesystem::create_directory(open);
    ::chmod(open.c_str(), 0755);
    const EnvironmentValue session("XDG_RUNTIME_DIR", QByteArray::fromStdString(open));

    const std::string name = SingleInstance::serverNameFor(QStringLiteral("/config")).toStdString();
    ASSERT_EQ(name.rfind(own + "/katalox-", 0), 0u) << name;
    EXPECT_EQ(ownerAndMode(own), std::make_pair(::geteuid(), mode_t(S_IFDIR | 0700)));

    // The folder's name is known to all: a link put there, or a folder of another user's, is never used.
    std::filesystem::remove(own);
    std::filesystem::create_directory_symlink(m_temp.path(), own);
    EXPECT_EQ(SingleInstance::serverNameFor(QStringLiteral("/config")), QString());
    if (root) {
        std::filesystem::remove(own);
        std::filesystem::create_directory(own);
        ::chmod(own.c_str(), 0700);
        ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
        EXPECT_EQ(SingleInstance::serverNameFor(QStringLiteral("/config")), QString());
    }
    SingleInstance alone(QString {});
    EXPECT_FALSE(alone.listen());
    EXPECT_FALSE(SingleInstance::handOver(QString(), QStringLiteral("/a.ktb"), 200));
}

TEST_F(SingleInstanceTest, AnotherUsersProgramIsNeitherToldNorHeard)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can act as another user here";
    }
    // A folder every user may write in, and a socket mode that lets every user through (as on a file
    // system without modes): only the peer's user id tells.
    ::chmod(m_temp.path().c_str(), 0755);
    const std::string shared = m_temp.file("shared/");
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 0777);
    const auto asNobody = [](const auto& work) {
        EXPECT_EQ(::seteuid(65534), 0);
        work();
        EXPECT_EQ(::seteuid(0), 0);
    };

    // A program of another user listens where this user's start looks: it is told nothing.
    const std::string planted = shared + "planted.socket";
    int listening = -1;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, planted.c_str(), sizeof address.sun_path - 1);
    asNobody([&] {
        listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listening, 4), 0);
    });
    ::chmod(planted.c_str(), 0777);
    std::string heard;
    std::thread stranger([&] {
        pollfd waiting { listening, POLLIN, 0 };
        if (::poll(&waiting, 1, 5000) <= 0) {
            return;
        }
        const int connection = ::accept(listening, nullptr, nullptr);
        heard = readToEnd(connection, [connection](const std::string& text) {
            if (text.back() == '\n') {
                EXPECT_EQ(::write(connection, "ok\n", 3), 3);
            }
        });
        ::close(connection);
    });
    EXPECT_FALSE(SingleInstance::handOver(QString::fromStdString(planted), QStringLiteral("/secret.ktb"), 2000));
    stranger.join();
    ::close(listening);
    EXPECT_EQ(heard, "");

    // A start of another user reaches this user's program: it is not heard.
    SingleInstance running(QString::fromStdString(shared + "katalox.socket"));
    ASSERT_TRUE(running.listen());
    ::chmod((shared + "katalox.socket").c_str(), 0777);
    QSignalSpy files(&running, &SingleInstance::fileRequested);
    std::strncpy(address.sun_path, (shared + "katalox.socket").c_str(), sizeof address.sun_path - 1);
    int connection = -1;
    asNobody([&] {
        connection = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(::connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    });
    ASSERT_EQ(::write(connection, "/planted.ktb\n", 13), 13);
    // The program closes the connection without an answer.
    std::future<std::string> answer = std::async(std::launch::async, [connection] { return readToEnd(connection); });
    while (answer.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    ::close(connection);
    EXPECT_EQ(answer.get(), "");
    EXPECT_EQ(files.size(), 0);
}

} // namespace
