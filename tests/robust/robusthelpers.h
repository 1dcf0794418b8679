// Helpers shared by the robustness tests: snapshots of a folder to prove that
// nothing was created or changed, bad diary files, and running as an ordinary
// user so that file modes really bind.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QString>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace robust {

// Every file and folder below `root`: its kind, mode, size, content hash and
// modification time in nanoseconds. Two equal snapshots mean nothing below
// `root` was created, removed, written or touched.
inline QMap<QString, QString> snapshot(const QString &root)
{
    QMap<QString, QString> out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st
        {
        };
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        QString entry = QStringLiteral("mode=%1 size=%2 mtime=%3.%4")
                            .arg(st.st_mode, 0, 8)
                            .arg(qint64(st.st_size))
                            .arg(qint64(st.st_mtim.tv_sec))
                            .arg(qint64(st.st_mtim.tv_nsec));
        if (S_ISREG(st.st_mode)) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                entry += QStringLiteral(" sha=") +
                         QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
        }
        out.insert(QDir(root).relativeFilePath(path), entry);
    }
    return out;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

inline QByteArray randomBytes(quint32 seed, int size)
{
    QRandomGenerator rng(seed);
    QByteArray out(size, '\0');
    for (char &c : out)
        c = char(rng.bounded(256));
    return out;
}

// File modes do not stop root. A test of read-only files therefore runs as the
// unprivileged user "nobody" when started as root; returns false when that
// was needed and failed.
inline bool runAsOrdinaryUser()
{
    if (::geteuid() != 0)
        return true;
    const gid_t nogroup = 65534;
    const uid_t nobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(nogroup) == 0 && ::setuid(nobody) == 0 && ::geteuid() == nobody;
}

} // namespace robust
