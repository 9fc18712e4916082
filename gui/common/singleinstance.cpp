#include "gui/common/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

constexpr char s_acknowledgement[] = "ok\n";

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
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    const QByteArray hash
        = QCryptographicHash::hash(QDir::cleanPath(configFolder).toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return folder + QStringLiteral("/katalox-") + QString::fromLatin1(hash) + QStringLiteral(".socket");
}

bool SingleInstance::handOver(const QString& serverName, const QString& path, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs)) {
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
