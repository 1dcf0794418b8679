#include "data/recoveryfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace diary {

QString recoveryPath(const QString &diaryPath)
{
    return diaryPath + QStringLiteral(".unsaved.txt");
}

QString keepForNextStart(const QString &diaryPath, const QString &text)
{
    const QByteArray native = QFile::encodeName(recoveryPath(diaryPath));
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::fchmod(fd, 0600);
    // A text that did not fit is taken back whole: half of it would be
    // offered at the next start as if it were what was kept.
    struct stat st
    {
    };
    const off_t keptBefore = ::fstat(fd, &st) == 0 ? st.st_size : -1;
    auto takeBack = [&] {
        if (keptBefore == 0)
            ::unlink(native.constData());
        else if (keptBefore > 0)
            (void)::ftruncate(fd, keptBefore);
    };
    const QByteArray bytes = (text + QStringLiteral("\n\n")).toUtf8();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const QString why = QString::fromLocal8Bit(std::strerror(n == 0 ? ENOSPC : errno));
            takeBack();
            ::close(fd);
            return why;
        }
        done += n;
    }
    const bool synced = ::fsync(fd) == 0;
    const QString why = synced ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    if (!synced)
        takeBack();
    ::close(fd);
    return why;
}

QString keptText(const QString &diaryPath)
{
    QFile file(recoveryPath(diaryPath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace diary
