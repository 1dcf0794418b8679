#include "app/startcheck.h"

#include "access/conversion.h"
#include "app/keeping/accessconversion.h"
#include "app/keeping/autobackup.h"
#include "app/keeping/choosers.h"
#include "data/datetext.h"
#include "data/sqlitefile.h"
#include "keeping/backups.h"
#include "keeping/diarycheck.h"
#include "keeping/restore.h"
#include "platform/busycursor.h"
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

// What can still be counted in a damaged diary: often its table reads even
// where some page is broken.
QString countedInDiary(const QString &diaryPath)
{
    diary::SqliteFile file;
    if (!file.open(diaryPath, diary::SqliteFile::ReadOnly, 2000, true))
        return {};
    diary::Statement s(file, QStringLiteral("SELECT count(*), max(DATE) FROM records"));
    if (!s.ok() || !s.step())
        return {};
    const QDate last = QDate::fromString(QString::fromUtf8(s.bytes(1)), Qt::ISODate);
    return last.isValid() ? tr(" The damaged diary still shows %1 days, the newest of %2.")
                                .arg(s.integer(0))
                                .arg(diary::showDate(last))
                          : tr(" The damaged diary still shows %1 days.").arg(s.integer(0));
}

void offerRestore(const QString &diaryPath, const keeping::Verdict &verdict, QWidget *parent)
{
    const QString damage = verdict.text(QDir::toNativeSeparators(diaryPath));
    for (const keeping::BackupInfo &b : keeping::listBackups(diaryPath)) {
        if (b.damaged || !keeping::checkDiary(b.path, keeping::CheckDepth::Full).ok)
            continue;
        const QString made = b.time.toString(QStringLiteral("dd/MM/yy HH:mm"));
        const QString holds = b.last.isValid()
                                  ? tr("%1 days, the newest of %2").arg(b.days).arg(diary::showDate(b.last))
                                  : tr("%1 days").arg(b.days);
        const QString question =
            tr("%1%2\n\nRestore the newest sound backup, made %3 with %4? Days written after it would be lost from "
               "the diary; the damaged diary is kept beside the backups. No leaves everything as it is.")
                .arg(damage, countedInDiary(diaryPath), made, holds);
        if (!choosers().askYesNoDefaultNo(parent, question))
            return;
        const keeping::RestoreResult r = keeping::restoreDiary(diaryPath, b.path, QDateTime::currentDateTime());
        vb::MsgBox(r.ok() ? tr("The backup of %1 was restored.").arg(made) : r.error, parent);
        return;
    }
    vb::MsgBox(tr("%1\n\nThere is no sound backup to restore. Nothing was changed.").arg(damage), parent);
}
} // namespace

bool checkAtStart(const QString &diaryPath, QWidget *parent)
{
    const QString failed = AutoBackup::takeFailureOfLastRun();
    if (!failed.isEmpty())
        vb::MsgBox(failed, parent);
    keeping::Verdict verdict;
    {
        vb::BusyCursor busy;
        verdict = keeping::checkDiary(diaryPath, keeping::CheckDepth::Quick);
    }
    switch (verdict.state) {
    case keeping::DiaryState::Missing:
        // A conversion cut short between its renames left the Access file
        // aside and no diary; else the data control says so, with the advice
        // to run setup.
        if (!jet::keptAccessFiles(diaryPath).isEmpty())
            offerToFinishConversion(diaryPath, parent);
        return true;
    case keeping::DiaryState::Sound:
    case keeping::DiaryState::NotAFile: // the data control says so
    case keeping::DiaryState::Unreadable:
        return true;
    case keeping::DiaryState::NotADiary:
        if (verdict.restorable())
            offerRestore(diaryPath, verdict, parent);
        return true;
    case keeping::DiaryState::Damaged:
        offerRestore(diaryPath, verdict, parent);
        return true;
    case keeping::DiaryState::Busy:
    case keeping::DiaryState::UndoWaits:
    case keeping::DiaryState::NewerFormat:
        // Opening it now would only wait again, or fail, behind the same cause.
        vb::MsgBox(verdict.text(QDir::toNativeSeparators(diaryPath)) + QLatin1Char('\n') + tr("MEALWISE ends now."),
                   parent);
        return false;
    case keeping::DiaryState::Access:
        return offerAccessConversion(diaryPath, parent);
    }
    return true;
}

} // namespace app
