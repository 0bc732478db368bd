#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vemba {

namespace {

constexpr char kRaise[] = "raise\n";
constexpr char kDone[] = "done\n";
// The first copy may still be starting when it already holds the lock.
constexpr int kAnswerMs = 5000;
// What a connected copy may take to say its word, while the window waits.
constexpr int kWordMs = 200;

// The runtime directory is the user's own and emptied at logout; without
// one, the temporary directory with the user's id in the name.
QString instanceName(const QString& settingsDirectory) {
    const QByteArray hash =
        QCryptographicHash::hash(QDir(settingsDirectory).absolutePath().toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    const QString name = QStringLiteral("vemba-pc-") + QString::fromLatin1(hash);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        return runtime + u'/' + name;
    }
    return QDir::tempPath() + u'/' + name + QStringLiteral("-%1").arg(getuid());
}

// False when the path does not fit a socket address.
bool socketAddress(const QString& path, sockaddr_un& address) {
    const QByteArray bytes = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (bytes.size() >= static_cast<qsizetype>(sizeof address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, bytes.constData(), bytes.size());
    return true;
}

int streamSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

bool waitReadable(int fd, int ms) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, ms) == 1;
}

// Reads one short word, up to a newline or `capacity` bytes.
QByteArray readWord(int fd, int ms, std::size_t capacity) {
    QByteArray word;
    const QDeadlineTimer deadline(ms);
    while (!word.endsWith('\n') && static_cast<std::size_t>(word.size()) < capacity) {
        if (!waitReadable(fd, static_cast<int>(deadline.remainingTime()))) {
            break;
        }
        char buffer[16];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        word.append(buffer, got);
    }
    return word;
}

bool writeWord(int fd, const char* word) {
    const std::size_t length = std::strlen(word);
    return ::send(fd, word, length, MSG_NOSIGNAL) == static_cast<ssize_t>(length);
}

} // namespace

SingleInstance::SingleInstance(const QString& settingsDirectory)
    : m_name(instanceName(settingsDirectory)), m_lock(m_name + QStringLiteral(".lock")) {
    // Held for as long as the program runs, however long that is; a lock left
    // by a copy that was killed names a process that is gone and is taken over.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    if (m_listener >= 0) {
        ::close(m_listener);
        ::unlink(QFile::encodeName(m_name).constData());
    }
}

bool SingleInstance::claim() {
    if (m_lock.tryLock(0)) {
        listen();
        return true;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        return true;
    }
    if (!askRunningCopy()) {
        std::fputs("vemba-pc: ヴェンバPCはすでに動いていますが、応答がありません。\n", stderr);
    }
    return false;
}

bool SingleInstance::askRunningCopy() {
    sockaddr_un address{};
    if (!socketAddress(m_name, address)) {
        return false;
    }
    const QDeadlineTimer deadline(kAnswerMs);
    const int fd = streamSocket();
    if (fd < 0) {
        return false;
    }
    bool connected = false;
    while (!connected && !deadline.hasExpired()) {
        connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (!connected) {
            QThread::msleep(50); // the first copy has its lock but is not listening yet
        }
    }
    const bool answered = connected && writeWord(fd, kRaise) &&
                          readWord(fd, static_cast<int>(deadline.remainingTime()), 8) == kDone;
    ::close(fd);
    return answered;
}

void SingleInstance::listen() {
    sockaddr_un address{};
    if (!socketAddress(m_name, address)) {
        return; // later starts find no one to ask and say so
    }
    // The lock is ours, so a socket left there belongs to a copy that is gone.
    ::unlink(address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return;
    }
    m_listener = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::answer);
}

void SingleInstance::answer() {
    while (true) {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            return;
        }
        // Only the user's own processes can reach the socket; one that says
        // nothing keeps the window waiting no longer than a moment.
        if (readWord(client, kWordMs, 8) == kRaise) {
            emit raiseRequested();
            writeWord(client, kDone);
        }
        ::close(client);
    }
}

} // namespace vemba
