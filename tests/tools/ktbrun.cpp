#include "tests/tools/ktbrun.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace {

/// The environment of the test with TMPDIR replaced and the added entries (each replacing one of its name).
std::vector<std::string> environmentWith(const std::string& temporaryFolder, const std::vector<std::string>& added)
{
    std::vector<std::string> environment { "TMPDIR=" + temporaryFolder };
    environment.insert(environment.end(), added.begin(), added.end());
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('=') + 1);
        const bool replaced = std::any_of(environment.begin(), environment.end(),
            [name](const std::string& kept) { return std::string_view(kept).rfind(name, 0) == 0; });
        if (!replaced) {
            environment.emplace_back(text);
        }
    }
    return environment;
}

std::vector<char*> pointers(std::vector<std::string>& words)
{
    std::vector<char*> result;
    for (std::string& word : words) {
        result.push_back(word.data());
    }
    result.push_back(nullptr);
    return result;
}

/// Starts ktb; the stop signals get their default action, whatever the test runner was started with.
pid_t spawnKtb(const std::vector<std::string>& arguments, const std::string& temporaryFolder,
    posix_spawn_file_actions_t& actions, const std::vector<std::string>& added = {})
{
    std::vector<std::string> words = { KTB_PROGRAM };
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = environmentWith(temporaryFolder, added);
    std::vector<char*> argv = pointers(words);
    std::vector<char*> envp = pointers(environment);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int number : { SIGINT, SIGTERM, SIGHUP }) {
        sigaddset(&defaults, number);
    }
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int started = posix_spawn(&child, KTB_PROGRAM, &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    return started == 0 ? child : -1;
}

int statusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

} // namespace

KtbTest::KtbTest() { std::filesystem::create_directory(temporaryFolder()); }

ToolRun KtbTest::ktb(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    const std::string outPath = m_folder.file("stdout.txt");
    const std::string errPath = m_folder.file("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t child = spawnKtb(arguments, temporaryFolder(), actions, environment);
    posix_spawn_file_actions_destroy(&actions);
    ToolRun run;
    if (child < 0) {
        ADD_FAILURE() << "cannot start " << KTB_PROGRAM;
        return run;
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    run.status = statusOf(status);
    run.out = readFileBytes(outPath);
    run.err = readFileBytes(errPath);
    return run;
}

std::string KtbTest::write(const CatalogBuilder& catalog, const std::string& name)
{
    const std::string path = m_folder.file(name);
    EXPECT_TRUE(catalog.writeTo(path));
    return path;
}

std::vector<std::string> KtbTest::leftInTemporaryFolder() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temporaryFolder())) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TerminalRun::TerminalRun(const std::vector<std::string>& arguments, const std::string& temporaryFolder,
    const std::string& outPath, bool holdOutput)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        return;
    }
    m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        return;
    }
    // Held output is what Ctrl-S does on a terminal: the program's next write to it waits.
    if (holdOutput && ::tcflow(m_slave, TCOOFF) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, m_slave, 2);
    m_child = spawnKtb(arguments, temporaryFolder, actions);
    posix_spawn_file_actions_destroy(&actions);
}

TerminalRun::~TerminalRun()
{
    if (m_child > 0) {
        ::kill(m_child, SIGKILL);
        ::waitpid(m_child, nullptr, 0);
    }
    for (const int fd : { m_master, m_slave }) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void TerminalRun::releaseOutput() { ::tcflow(m_slave, TCOON); }

void TerminalRun::signal(int number) { ::kill(m_child, number); }

void TerminalRun::drain()
{
    char buffer[4096];
    pollfd ready { m_master, POLLIN, 0 };
    while (::poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count <= 0) {
            return;
        }
        m_terminal.append(buffer, static_cast<std::size_t>(count));
    }
}

int TerminalRun::wait()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        drain();
        const pid_t ended = ::waitpid(m_child, &status, WNOHANG);
        if (ended == m_child) {
            m_child = -1;
            drain();
            return statusOf(status);
        }
        pollfd ready { m_master, POLLIN, 0 };
        ::poll(&ready, 1, 20);
    }
    return -1;
}
