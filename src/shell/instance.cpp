#include "shell/instance.h"

#include "model/info.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace
{

constexpr int retryMs = 100;
// A connection that says nothing for this long is dropped (and still raises the window).
constexpr int silenceMs = 10000;

} // namespace

LWInstance::LWInstance(QString folder, QObject *parent)
    : QObject(parent),
      m_folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                : std::move(folder))
{
}

LWInstance::~LWInstance() = default;

bool LWInstance::claim()
{
    QDir().mkpath(m_folder);
    m_lock = std::make_unique<QLockFile>(QDir(m_folder).filePath(lockName));
    // Held for the program's life: only a dead holder makes it stale, never its age (Qt also
    // guards a live holder with flock, where the file system has it).
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            m_error = QStringLiteral("another instance is running");
            return false;
        }
        // An unusable runtime folder must not keep the program from starting.
        m_error = QStringLiteral("cannot lock %1").arg(m_lock->fileName());
        return true;
    }
    const QString name = QDir(m_folder).filePath(socketName);
    QLocalServer::removeServer(name); // a dead instance's socket
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &LWInstance::accept);
    if (!m_server->listen(name))
        m_error = m_server->errorString();
    return true;
}

bool LWInstance::send(const std::optional<QString> &path, int timeoutMs)
{
    const QByteArray data = message(path);
    const QString name = QDir(m_folder).filePath(socketName);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int left = std::max(1, timeoutMs - int(clock.elapsed()));
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(left)) {
            socket.write(data);
            bool written = true;
            while (written && socket.bytesToWrite() > 0)
                written = socket.waitForBytesWritten(std::max(1, timeoutMs - int(clock.elapsed())));
            if (written) {
                socket.disconnectFromServer();
                return true;
            }
        }
        m_error = socket.errorString();
        if (clock.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(retryMs); // the first instance may still be starting
    }
}

std::optional<QString> LWInstance::designArgument(const QStringList &args, const QString &workingDir)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        QString path = args.at(i);
        if (path.contains(QLatin1String("://")) &&
            !path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
            continue; // a web address, not a file
        if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
            const QUrl url(path);
            if (!url.isLocalFile())
                continue;
            path = url.toLocalFile();
        }
        if (path.isEmpty() || QFileInfo(path).suffix().toLower() != LWInfo::fileExtension)
            continue;
        return QDir::cleanPath(QDir(workingDir).absoluteFilePath(path));
    }
    return std::nullopt;
}

QByteArray LWInstance::message(const std::optional<QString> &path)
{
    QJsonObject object;
    if (path)
        object.insert(QStringLiteral("open"), *path);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QString> LWInstance::pathIn(const QByteArray &message)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(message.trimmed(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonValue open = doc.object().value(QStringLiteral("open"));
    if (!open.isString())
        return std::nullopt;
    const QString path = open.toString();
    if (path.isEmpty() || !QDir::isAbsolutePath(path) || path.contains(QChar(0)))
        return std::nullopt;
    return path;
}

void LWInstance::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        m_buffers.insert(socket, {});
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            read(socket);
            finish(socket, true);
        });
        QTimer::singleShot(silenceMs, socket, [this, socket] { finish(socket, false); });
        read(socket);
    }
}

void LWInstance::read(QLocalSocket *socket)
{
    const auto buffer = m_buffers.find(socket);
    if (buffer == m_buffers.end())
        return;
    *buffer += socket->read(maxMessage + 1 - buffer->size());
    if (buffer->size() > maxMessage)
        finish(socket, false);
    else if (buffer->contains('\n'))
        finish(socket, true);
}

void LWInstance::finish(QLocalSocket *socket, bool complete)
{
    const auto buffer = m_buffers.find(socket);
    if (buffer == m_buffers.end())
        return;
    const QByteArray text = *buffer;
    m_buffers.erase(buffer);
    if (complete) {
        const qsizetype end = text.indexOf('\n');
        if (const std::optional<QString> path = pathIn(end < 0 ? text : text.left(end)))
            Q_EMIT openRequested(*path);
    }
    Q_EMIT raiseRequested();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}
