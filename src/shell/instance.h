#pragma once
#include <QByteArray>
#include <QHash>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;

// One running program per user: the first start holds a lock file and listens on a local socket
// beside it, in the runtime folder; a later start hands its design file (or nothing) to the
// first one and ends. Main thread only.
//
// The message is one line of UTF-8 JSON, {"open":"<absolute path>"} or {}. Every message asks
// for the window (`raiseRequested`); only a well-formed one with an absolute path also asks to
// open it (`openRequested`, before the raise). A connection may send at most maxMessage bytes.
class LWInstance : public QObject
{
    Q_OBJECT
  public:
    static constexpr qint64 maxMessage = 64 * 1024;
    static constexpr int sendTimeoutMs = 10000;
    static inline const QString lockName = QStringLiteral("velk-leafwrighter.lock");
    static inline const QString socketName = QStringLiteral("velk-leafwrighter.socket");

    // The program's runtime folder (QStandardPaths::RuntimeLocation) by default.
    explicit LWInstance(QString folder = {}, QObject *parent = nullptr);
    ~LWInstance() override;

    // False only when another running instance holds the lock. Otherwise this is the first: the
    // lock is taken (a dead holder's is taken over) and the socket listens; a lock that cannot
    // be made or a socket that cannot listen leaves `error` set, and the program runs anyway.
    [[nodiscard]] bool claim();
    // Hands the path (or nothing) to the first instance, retrying while it may still be
    // starting; true once the message was written.
    [[nodiscard]] bool send(const std::optional<QString> &path, int timeoutMs = sendTimeoutMs);
    QString error() const { return m_error; }
    QString folder() const { return m_folder; }

    // The design among a launch's arguments (the program's own name first): a file: URL stands
    // for its path, a relative path is taken against `workingDir`; the first whose suffix is the
    // design file's extension, in any case, wins.
    [[nodiscard]] static std::optional<QString> designArgument(const QStringList &args,
                                                               const QString &workingDir);
    [[nodiscard]] static QByteArray message(const std::optional<QString> &path);
    // The absolute path a message asks to open; none for {} and for anything malformed.
    [[nodiscard]] static std::optional<QString> pathIn(const QByteArray &message);

  Q_SIGNALS:
    void openRequested(const QString &path);
    void raiseRequested();

  private:
    void accept();
    void read(QLocalSocket *socket);
    // Once per connection: a complete message may ask to open; every one asks for the window.
    void finish(QLocalSocket *socket, bool complete);

    QString m_folder;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    QHash<QLocalSocket *, QByteArray> m_buffers; // connections still being read
};
