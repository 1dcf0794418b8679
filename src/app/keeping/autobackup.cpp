#include "app/keeping/autobackup.h"

#include "data/writehooks.h"
#include "keeping/backups.h"
#include "platform/msgbox.h"
#include "platform/settingsstore.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace app {

namespace {
struct State
{
    QString path;
    bool changed = false;
    bool backedUpBeforeDelete = false;
};
State &state()
{
    static State s;
    return s;
}
constexpr char kSection[] = "Backups";
constexpr char kFailureKey[] = "FailedAtExit";

bool samePath(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}
} // namespace

void AutoBackup::install(const QString &diaryPath)
{
    state() = State{diaryPath, false, false};
    diary::WriteHooks hooks;
    hooks.beforeDelete = [](const QString &path) {
        State &s = state();
        if (s.backedUpBeforeDelete || !samePath(path, s.path))
            return;
        s.backedUpBeforeDelete = true;
        const keeping::BackupResult r = keeping::backUp(path, QDateTime::currentDateTime());
        if (!r.ok())
            vb::MsgBox(QCoreApplication::translate("app",
                                                   "Before the first delete the diary is backed up; that failed. "
                                                   "The delete goes on. %1")
                           .arg(r.error));
    };
    hooks.afterWrite = [](const QString &path) {
        if (samePath(path, state().path))
            state().changed = true;
    };
    diary::setWriteHooks(std::move(hooks));
}

void AutoBackup::noteChanged()
{
    state().changed = true;
}

bool AutoBackup::changed()
{
    return state().changed;
}

QString AutoBackup::atExit(const QDateTime &now)
{
    State &s = state();
    if (!s.changed || s.path.isEmpty())
        return {};
    s.changed = false;
    const keeping::BackupResult r = keeping::backUp(s.path, now);
    if (r.ok())
        return {};
    vb::SaveSetting(QLatin1String(vb::kProgramTitle), QLatin1String(kSection), QLatin1String(kFailureKey),
                    now.toString(QStringLiteral("dd/MM/yy HH:mm")) + QLatin1Char('\n') + r.error);
    return r.error;
}

QString AutoBackup::takeFailureOfLastRun()
{
    const QString stored =
        vb::GetSetting(QLatin1String(vb::kProgramTitle), QLatin1String(kSection), QLatin1String(kFailureKey));
    if (stored.isEmpty())
        return {};
    vb::SaveSetting(QLatin1String(vb::kProgramTitle), QLatin1String(kSection), QLatin1String(kFailureKey), QString());
    const QString when = stored.section(QLatin1Char('\n'), 0, 0);
    const QString why = stored.section(QLatin1Char('\n'), 1);
    return QCoreApplication::translate("app", "The backup at the end of the last run (%1) failed: %2").arg(when, why);
}

} // namespace app
