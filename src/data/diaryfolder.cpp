#include "data/diaryfolder.h"

#include "data/diarynames.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace diary {

QString secureDiaryFolder(const QString &folder, QString *notice)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("diary", text); };
    if (QFileInfo(folder).fileName() != QLatin1String(kFolderName))
        return {};
    const QByteArray native = QFile::encodeName(folder);
    struct stat st
    {
    };
    if (::stat(native.constData(), &st) != 0)
        return {}; // missing: it is made 0700 with the diary
    if (!S_ISDIR(st.st_mode))
        return tr("%1 is not a folder, so no diary can be made in it.").arg(folder);
    if (st.st_uid != ::geteuid()) {
        return tr("The folder %1 belongs to another user, who could read or replace the diary in it. Nothing was "
                  "made; use a folder of your own (remove or rename this one, or give another with --path).")
            .arg(folder);
    }
    const mode_t mode = st.st_mode & 07777;
    if ((mode & 077) == 0)
        return {};
    if (::chmod(native.constData(), 0700) != 0) {
        return tr("The folder %1 can be entered by other users (mode %2) and could not be closed to them: %3")
            .arg(folder, QString::number(mode, 8), QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (notice) {
        *notice = tr("The folder %1 could be entered by other users (mode %2); it is now yours only (mode 0700).")
                      .arg(folder, QString::number(mode, 8).rightJustified(4, QLatin1Char('0')));
    }
    return {};
}

} // namespace diary
