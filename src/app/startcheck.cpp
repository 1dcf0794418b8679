#include "app/startcheck.h"

#include "app/autobackup.h"
#include "app/choosers.h"
#include "keeping/backups.h"
#include "keeping/diarycheck.h"
#include "keeping/restore.h"
#include "platform/msgbox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace app {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("app", text);
}
} // namespace

void checkAtStart(const QString &diaryPath, QWidget *parent)
{
    const QString failed = AutoBackup::takeFailureOfLastRun();
    if (!failed.isEmpty())
        vb::MsgBox(failed, parent);
    if (!QFileInfo::exists(diaryPath))
        return; // the data control says so, with the advice to run setup
    const keeping::Verdict verdict = keeping::checkDiary(diaryPath, keeping::CheckDepth::Quick);
    if (verdict.ok)
        return;
    const QString damage = verdict.text(QDir::toNativeSeparators(diaryPath));
    for (const keeping::BackupInfo &b : keeping::listBackups(keeping::backupsFolder(diaryPath))) {
        if (!keeping::checkDiary(b.path, keeping::CheckDepth::Full).ok)
            continue;
        const QString question = tr("%1\n\nRestore the newest sound backup, made %2 with %3 days? The damaged diary is "
                                    "kept beside the backups. No leaves everything as it is.")
                                     .arg(damage, b.time.toString(QStringLiteral("dd/MM/yy HH:mm")))
                                     .arg(b.days);
        if (!choosers().askYesNo(parent, question))
            return;
        const keeping::RestoreResult r = keeping::restoreDiary(diaryPath, b.path, QDateTime::currentDateTime());
        vb::MsgBox(r.ok() ? tr("The backup of %1 was restored.").arg(b.time.toString(QStringLiteral("dd/MM/yy HH:mm")))
                          : r.error,
                   parent);
        return;
    }
    vb::MsgBox(tr("%1\n\nThere is no sound backup to restore. Nothing was changed.").arg(damage), parent);
}

} // namespace app
