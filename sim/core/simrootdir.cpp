// Files below a simulated root, opened step by step from the root without following any link.
#include "simrootdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sim {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString errnoText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QStringList components(const QString& relative)
{
    return relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// A name for a new entry next to `name` that no other run picks.
QByteArray tempName(const QString& name)
{
    return encoded(QStringLiteral(".%1.new-%2-%3")
                       .arg(name)
                       .arg(::getpid())
                       .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

} // namespace

Fd::Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

Fd& Fd::operator=(Fd&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

Fd::~Fd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

RootDir::RootDir(const QString& root)
{
    const QString resolved = QFileInfo(root).canonicalFilePath();
    m_root = resolved.isEmpty() ? QDir::cleanPath(QDir(root).absolutePath()) : resolved;
}

QString RootDir::refusal(const QString& relative, const QString& why) const
{
    return QStringLiteral("refusing the simulated root %1: %2 %3").arg(m_root, path(relative), why);
}

bool RootDir::checkEntry(int dirFd, const QString& name, const QString& relative, Kind want, QString* error) const
{
    struct stat st = {};
    if (::fstatat(dirFd, encoded(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return true;
        return fail(error, QStringLiteral("cannot look at %1: %2").arg(path(relative), errnoText(errno)));
    }
    if (S_ISLNK(st.st_mode) && want != Kind::Replaceable)
        return fail(error, refusal(relative, QStringLiteral("is a symbolic link; below a simulated root only the "
                                                            "tool links may be links")));
    if (want == Kind::Directory && !S_ISDIR(st.st_mode))
        return fail(error, refusal(relative, QStringLiteral("is not a directory")));
    if (want == Kind::File && !S_ISREG(st.st_mode))
        return fail(error, refusal(relative, QStringLiteral("is not a regular file")));
    if (want == Kind::Replaceable && S_ISDIR(st.st_mode))
        return fail(error, refusal(relative, QStringLiteral("is a directory")));
    return true;
}

void RootDir::explainFailure(int dirFd, const QString& name, const QString& relative, Kind want, int savedErrno,
                             QString* error) const
{
    if (checkEntry(dirFd, name, relative, want, error))
        fail(error, QStringLiteral("cannot open %1: %2").arg(path(relative), errnoText(savedErrno)));
}

Fd RootDir::openDir(const QString& relative, bool create, QString* error, bool* absent) const
{
    if (absent)
        *absent = false;
    Fd dir(::open(encoded(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.isOpen()) {
        if (absent)
            *absent = errno == ENOENT;
        fail(error, QStringLiteral("cannot open %1: %2").arg(m_root, errnoText(errno)));
        return Fd();
    }
    QString walked;
    for (const QString& part : components(relative)) {
        walked = walked.isEmpty() ? part : walked + QLatin1Char('/') + part;
        const QByteArray name = encoded(part);
        // mkdirat never follows a link: one at `name` leaves EEXIST, and the open below refuses it.
        if (create && ::mkdirat(dir.get(), name.constData(), 0777) != 0 && errno != EEXIST) {
            fail(error, QStringLiteral("cannot create %1: %2").arg(path(walked), errnoText(errno)));
            return Fd();
        }
        Fd child(::openat(dir.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!child.isOpen()) {
            const int saved = errno;
            if (saved == ENOENT && absent)
                *absent = true;
            explainFailure(dir.get(), part, walked, Kind::Directory, saved, error);
            return Fd();
        }
        dir = std::move(child);
    }
    return dir;
}

bool RootDir::openParent(const QString& relative, bool create, Fd* dir, QString* name, QString* error,
                         bool* absent) const
{
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    *name = relative.mid(slash + 1);
    *dir = openDir(slash < 0 ? QString() : relative.left(slash), create, error, absent);
    return dir->isOpen();
}

Fd RootDir::openFile(const QString& relative, int flags, QString* error, bool* absent) const
{
    Fd dir;
    QString name;
    if (!openParent(relative, (flags & O_CREAT) != 0, &dir, &name, error, absent))
        return Fd();
    // O_NONBLOCK keeps a FIFO put in a file's place from stalling the open; it is refused below.
    Fd file(::openat(dir.get(), encoded(name).constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    if (!file.isOpen()) {
        const int saved = errno;
        if (saved == ENOENT && absent)
            *absent = true;
        explainFailure(dir.get(), name, relative, Kind::File, saved, error);
        return Fd();
    }
    struct stat st = {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fail(error, refusal(relative, QStringLiteral("is not a regular file")));
        return Fd();
    }
    return file;
}

std::optional<QByteArray> RootDir::readFile(const QString& relative, QString* error, bool* absent) const
{
    const Fd file = openFile(relative, O_RDONLY, error, absent);
    if (!file.isOpen())
        return std::nullopt;
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            fail(error, QStringLiteral("cannot read %1: %2").arg(path(relative), errnoText(errno)));
            return std::nullopt;
        }
        if (n == 0)
            return bytes;
        bytes.append(buffer, n);
    }
}

bool RootDir::appendFile(const QString& relative, const QByteArray& bytes, QString* error) const
{
    const Fd file = openFile(relative, O_WRONLY | O_APPEND | O_CREAT, error);
    if (!file.isOpen())
        return false;
    return writeAll(file.get(), bytes) || fail(error, QStringLiteral("cannot write %1").arg(path(relative)));
}

bool RootDir::truncateFile(const QString& relative, QString* error) const
{
    bool absent = false;
    const Fd file = openFile(relative, O_WRONLY | O_TRUNC, error, &absent);
    return file.isOpen() || absent;
}

bool RootDir::replaceFile(const QString& relative, const QByteArray& bytes, QString* error) const
{
    Fd dir;
    QString name;
    if (!openParent(relative, true, &dir, &name, error) || !checkEntry(dir.get(), name, relative, Kind::File, error))
        return false;
    const QByteArray temp = tempName(name);
    bool written = false;
    {
        const Fd file(
            ::openat(dir.get(), temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        written = file.isOpen() && writeAll(file.get(), bytes);
    }
    // rename replaces the directory entry itself: whatever stood at `name`, nothing outside changes.
    if (!written || ::renameat(dir.get(), temp.constData(), dir.get(), encoded(name).constData()) != 0) {
        ::unlinkat(dir.get(), temp.constData(), 0);
        return fail(error, QStringLiteral("cannot write %1").arg(path(relative)));
    }
    return true;
}

bool RootDir::replaceLink(const QString& relative, const QString& target, QString* error) const
{
    Fd dir;
    QString name;
    if (!openParent(relative, true, &dir, &name, error) ||
        !checkEntry(dir.get(), name, relative, Kind::Replaceable, error))
        return false;
    const QByteArray temp = tempName(name);
    if (::symlinkat(encoded(target).constData(), dir.get(), temp.constData()) != 0 ||
        ::renameat(dir.get(), temp.constData(), dir.get(), encoded(name).constData()) != 0) {
        ::unlinkat(dir.get(), temp.constData(), 0);
        return fail(error, QStringLiteral("cannot link %1").arg(path(relative)));
    }
    return true;
}

bool RootDir::removeEntry(const QString& relative, QString* error) const
{
    Fd dir;
    QString name;
    bool absent = false;
    if (!openParent(relative, false, &dir, &name, error, &absent))
        return absent;
    if (::unlinkat(dir.get(), encoded(name).constData(), 0) != 0 && errno != ENOENT)
        return fail(error, QStringLiteral("cannot remove %1: %2").arg(path(relative), errnoText(errno)));
    return true;
}

bool RootDir::check(const QStringList& dirs, const QStringList& files, QString* error) const
{
    for (const QString& relative : dirs) {
        bool absent = false;
        if (!openDir(relative, false, error, &absent).isOpen() && !absent)
            return false;
    }
    for (const QString& relative : files) {
        Fd dir;
        QString name;
        bool absent = false;
        if (!openParent(relative, false, &dir, &name, error, &absent)) {
            if (absent)
                continue;
            return false;
        }
        if (!checkEntry(dir.get(), name, relative, Kind::File, error))
            return false;
    }
    return true;
}

} // namespace sim
