// Files below a simulated root, reached without following a symbolic link at any component below
// the root, so that nothing the simulator writes or replaces can land outside it.
#ifndef DOVODODUZU_SIM_SIMROOTDIR_H
#define DOVODODUZU_SIM_SIMROOTDIR_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace sim {

// An open file descriptor, closed when it goes.
class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept;
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd();

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// A root directory, resolved once (it may itself be reached through links), and the paths below
// it, given relative to it ("var/lib/dovododuzu-sim/state.json"). Every step below the root is
// taken with O_NOFOLLOW: a link there is refused with a message naming it, never followed.
class RootDir
{
public:
    explicit RootDir(const QString& root);

    QString root() const { return m_root; }
    QString path(const QString& relative) const
    {
        return m_root.endsWith(QLatin1Char('/')) ? m_root + relative : m_root + QLatin1Char('/') + relative;
    }

    // The directory `relative` ("" for the root); missing ones are made when `create`. `absent` is
    // set when it (or a parent) does not exist and was not made.
    Fd openDir(const QString& relative, bool create, QString* error, bool* absent = nullptr) const;
    // open(2) of a regular file with `flags` (O_NOFOLLOW is added; new files get mode 0666).
    Fd openFile(const QString& relative, int flags, QString* error, bool* absent = nullptr) const;

    std::optional<QByteArray> readFile(const QString& relative, QString* error, bool* absent = nullptr) const;
    bool appendFile(const QString& relative, const QByteArray& bytes, QString* error) const;
    bool truncateFile(const QString& relative, QString* error) const;
    // Writes a new file next to `relative` and renames it over, so a reader never sees half of it.
    bool replaceFile(const QString& relative, const QByteArray& bytes, QString* error) const;
    // Makes `relative` a link to `target`, replacing what is there (a link itself, never its target).
    bool replaceLink(const QString& relative, const QString& target, QString* error) const;
    bool removeEntry(const QString& relative, QString* error) const;

    // True when each of `dirs` is a real directory and each of `files` a regular file, or absent.
    bool check(const QStringList& dirs, const QStringList& files, QString* error) const;

private:
    enum class Kind { Directory, File, Replaceable }; // Replaceable: a file or a link, never followed

    bool openParent(const QString& relative, bool create, Fd* dir, QString* name, QString* error,
                    bool* absent = nullptr) const;
    // True when `name` in `dirFd` is absent or of the kind wanted; else false with a refusal.
    bool checkEntry(int dirFd, const QString& name, const QString& relative, Kind want, QString* error) const;
    // The reason an open of `name` failed with `savedErrno`: a refusal when the entry is of the
    // wrong kind, else the system's error text.
    void explainFailure(int dirFd, const QString& name, const QString& relative, Kind want, int savedErrno,
                        QString* error) const;
    QString refusal(const QString& relative, const QString& why) const;

    QString m_root;
};

} // namespace sim

#endif
