#include "keeping/privatefiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

QString lastErrno()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

bool isLink(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QString ensurePrivateFolder(const QString &folder)
{
    const QByteArray native = QFile::encodeName(folder);
    struct stat st
    {
    };
    if (::lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            return tr("The folder %1 cannot be reached: %2.").arg(folder, lastErrno());
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return tr("The folder %1 could not be created: %2.").arg(folder, lastErrno());
        if (::lstat(native.constData(), &st) != 0)
            return tr("The folder %1 cannot be reached: %2.").arg(folder, lastErrno());
    }
    if (S_ISLNK(st.st_mode))
        return tr("%1 is a link; backups are written only into a real folder. Remove the link and try again.")
            .arg(folder);
    if (!S_ISDIR(st.st_mode))
        return tr("%1 is not a folder. Move it away and try again.").arg(folder);
    if (st.st_uid == ::geteuid() && (st.st_mode & 077) != 0) {
        const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            ::fchmod(fd, 0700);
            ::close(fd);
        }
    }
    return {};
}

MadeFile createPrivateTemp(const QString &folder, const QString &stem)
{
    QByteArray templ =
        QFile::encodeName(QDir(folder).filePath(QLatin1Char('.') + stem + QStringLiteral("-XXXXXX.tmp")));
    // mkstemps creates the file exclusively (never through a link) with 0600.
    const int fd = ::mkstemps(templ.data(), 4);
    if (fd < 0)
        return {{}, tr("A file could not be created in %1: %2.").arg(folder, lastErrno())};
    ::fchmod(fd, 0600);
    ::close(fd);
    return {QFile::decodeName(templ), {}};
}

namespace {
// Set when the program's static data is, before main runs.
const QDateTime g_runStarted = QDateTime::currentDateTime();
} // namespace

QDateTime runStarted()
{
    return g_runStarted;
}

QStringList removeLeftovers(const QString &folder, const QString &stem, const QDateTime &before)
{
    static const QRegularExpression own(QStringLiteral("^\\.(.+)-[A-Za-z0-9]{6}\\.tmp(-journal)?$"));
    QStringList removed;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        const QRegularExpressionMatch m = own.match(name);
        if (!m.hasMatch() || m.captured(1) != stem)
            continue;
        const QString path = dir.filePath(name);
        const QFileInfo info(path);
        if (isLink(path) || !info.isFile() || info.lastModified() >= before)
            continue;
        if (QFile::remove(path))
            removed << name;
    }
    // Not checked: a removal the disk forgets leaves an old file, nothing lost.
    if (!removed.isEmpty())
        syncFolder(folder);
    return removed;
}

bool syncFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

QString renameInto(const QString &from, const QString &to, bool replace, QString *unconfirmed)
{
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    int rc = 0;
    if (replace) {
        rc = ::rename(src.constData(), dst.constData());
    } else {
        rc = ::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE);
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without the flag: a hard link never replaces.
            rc = ::link(src.constData(), dst.constData());
            if (rc == 0)
                ::unlink(src.constData());
        }
    }
    if (rc != 0) {
        const QString why = errno == EEXIST ? tr("it already exists") : lastErrno();
        return tr("%1 could not be written: %2.").arg(to, why);
    }
    // The new name is on the disk only once its folder is.
    if (!syncFolder(QFileInfo(to).absolutePath()) && unconfirmed)
        *unconfirmed = tr("%1 is in place, but the disk did not confirm that it is kept: %2.").arg(to, lastErrno());
    return {};
}

QString writePrivateFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const MadeFile made = createPrivateTemp(folder, info.fileName());
    if (!made.ok())
        return made.error;
    const QString &temp = made.path;
    const int fd = ::open(QFile::encodeName(temp).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = fd >= 0;
    qsizetype done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += n;
    }
    const QString why = ok ? QString() : lastErrno();
    if (fd >= 0) {
        ok = ::fsync(fd) == 0 && ok;
        ::close(fd);
    }
    if (!ok) {
        QFile::remove(temp);
        return tr("%1 could not be written: %2.").arg(path, why.isEmpty() ? lastErrno() : why);
    }
    QString unconfirmed;
    const QString renamed = renameInto(temp, info.absoluteFilePath(), true, &unconfirmed);
    if (!renamed.isEmpty())
        QFile::remove(temp);
    return renamed.isEmpty() ? unconfirmed : renamed;
}

} // namespace keeping
