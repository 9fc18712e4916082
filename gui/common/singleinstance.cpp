#include "gui/common/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char s_acknowledgement[] = "ok\n";

/// Whether folder is a folder (not a link to one) of this user's that nobody else may enter.
bool isPrivateFolder(const QByteArray& folder)
{
    struct stat status { };
    return ::lstat(folder.constData(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid()
        && (status.st_mode & 07777) == 0700;
}

/// A folder of this user's that only the user may enter, for the socket; empty when none can be had.
QByteArray privateRuntimeFolder()
{
    // The session's runtime folder, when it is what it should be.
    const QByteArray session = qgetenv("XDG_RUNTIME_DIR");
    if (!session.isEmpty() && isPrivateFolder(session)) {
        return session;
    }
    // Else a folder of the user's own in the temporary folder, made when missing. Its name is known to
    // everyone, so one that another user made first is never used, nor a link.
    const QByteArray own = QFile::encodeName(QDir::tempPath()) + "/katalox-" + QByteArray::number(::geteuid());
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat status { };
    if (::lstat(own.constData(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid()) {
        ::chmod(own.constData(), 0700);
    }
    return isPrivateFolder(own) ? own : QByteArray();
}

/// Whether the process at the other end of a connected local socket is this user's.
bool peerIsThisUser(const QLocalSocket& socket)
{
    ucred credentials {};
    socklen_t size = sizeof credentials;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0
        && credentials.uid == ::geteuid();
}

} // namespace

SingleInstance::SingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent)
    , m_serverName(serverName)
    , m_server(new QLocalServer(this))
{
    // Only this user may connect: nobody else can make the program open a file.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverNameFor(const QString& configFolder)
{
    const QByteArray folder = privateRuntimeFolder();
    if (folder.isEmpty()) {
        return {};
    }
    const QByteArray hash
        = QCryptographicHash::hash(QDir::cleanPath(configFolder).toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QFile::decodeName(folder) + QStringLiteral("/katalox-") + QString::fromLatin1(hash)
        + QStringLiteral(".socket");
}

bool SingleInstance::handOver(const QString& serverName, const QString& path, int timeoutMs)
{
    if (serverName.isEmpty()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(serverName);
    // A path is only told to a program of this user's.
    if (!socket.waitForConnected(timeoutMs) || !peerIsThisUser(socket)) {
        return false;
    }
    const QByteArray message = path.toUtf8() + '\n';
    if (message.size() > MessageMax) {
        return false;
    }
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    // The program answers once it has the message; a program that hangs or ends meanwhile did not take it.
    QByteArray answer;
    while (answer.size() < qsizetype(sizeof s_acknowledgement - 1) && socket.waitForReadyRead(timeoutMs)) {
        answer += socket.readAll();
    }
    return answer.startsWith(s_acknowledgement);
}

bool SingleInstance::listen()
{
    if (m_serverName.isEmpty()) {
        return false;
    }
    // Listening with access options replaces the socket file, so a running program is asked first.
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    if (probe.waitForConnected(1000)) {
        return false;
    }
    // A socket file nobody answers on was left by a program that ended without removing it.
    QLocalServer::removeServer(m_serverName);
    return m_server->listen(m_serverName);
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Only a start of this user's is heard, whatever the socket file's mode lets through.
        if (!peerIsThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        if (socket->bytesAvailable() > 0) {
            onReadyRead(socket);
        }
    }
}

void SingleInstance::onReadyRead(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() >= MessageMax) {
            socket->abort(); // no path is that long: not a start of this program
        }
        return;
    }
    const QByteArray line = socket->readLine(MessageMax);
    socket->write(s_acknowledgement);
    socket->flush();
    socket->disconnectFromServer();
    QString path = QString::fromUtf8(line);
    path.chop(1); // the line end
    if (path.isEmpty()) {
        emit raiseRequested();
        return;
    }
    // Only an absolute path is a file of the other start; anything else is not from this program.
    if (QDir::isAbsolutePath(path) && !path.contains(QLatin1Char('\n'))) {
        emit fileRequested(path);
    }
}
