#pragma once
// One running program per config folder: the first start listens on a local socket that only its user
// can reach (in a folder of the user's that nobody else may enter, and each side checks that the other
// is the same user); a later start hands its catalog file (or a bare "show yourself") to it and ends.

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    /// serverName: the socket's full path (serverNameFor).
    explicit SingleInstance(const QString& serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// The socket of the program that uses this config folder, named after the folder, so that a build
    /// tree's program and the installed one do not meet: in the user's runtime folder ($XDG_RUNTIME_DIR)
    /// when it is the user's with mode 0700, else in "katalox-UID" of the temporary folder, made so when
    /// missing. Empty when neither is the user's alone: the program then runs on its own.
    static QString serverNameFor(const QString& configFolder);

    /// Hands a catalog's absolute path (empty: only raise the window) to the program listening on
    /// serverName, when it runs as this user; true when it took it. Blocks for at most timeoutMs; never
    /// needs an event loop.
    static bool handOver(const QString& serverName, const QString& path, int timeoutMs = 3000);

    /// Starts listening; false when another program listens already or the socket cannot be made. A
    /// socket file left by a program that ended without removing it is replaced. Connections from
    /// another user's processes are closed unheard.
    bool listen();

    /// The longest message taken: one path and its line end.
    static constexpr qint64 MessageMax = 8192;

signals:
    /// A later start handed over this absolute path.
    void fileRequested(const QString& path);
    /// A later start without a file: the window comes to the front.
    void raiseRequested();

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);

    QString m_serverName;
    QLocalServer* m_server;
};
