#include "app/keeping/accessconversion.h"

#include "app/keeping/choosers.h"
#include "data/datetext.h"
#include "platform/msgbox.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <climits>
#include <thread>

namespace app {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("app", text);
}

AccessPreparer &preparer()
{
    static AccessPreparer p;
    return p;
}

jet::PreparedConversion prepare(const QString &path, bool asIs, const jet::ReadOptions &read)
{
    if (preparer())
        return preparer()(path, asIs, read);
    return jet::prepareConversion(path, asIs, QDate::currentDate().year(), read);
}

struct Progress
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::atomic<bool> cancel{false};
};

// Runs `work` on a thread of its own while a progress dialog with Cancel
// shows; the window thread keeps painting (the splash too) until it ends.
void runWithProgress(QWidget *parent, const QString &label, Progress &progress, const std::function<void()> &work)
{
    QProgressDialog dialog(label, tr("Cancel"), 0, 0, parent);
    dialog.setObjectName(QStringLiteral("dlgAccessConversion"));
    dialog.setWindowTitle(QLatin1String(vb::kProgramTitle));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&progress] { progress.cancel = true; });
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        work();
        finished = true;
    });
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        const qint64 total = progress.total;
        if (total > 0) {
            dialog.setMaximum(int(std::min<qint64>(total, INT_MAX)));
            dialog.setValue(int(std::min<qint64>(progress.done, total)));
        }
        if (finished)
            loop.quit();
    });
    dialog.show();
    timer.start();
    loop.exec();
    worker.join();
}

// Reads and plans off the window thread.
jet::PreparedConversion readWithProgress(QWidget *parent, const QString &path, bool asIs)
{
    Progress progress;
    jet::PreparedConversion prepared;
    jet::ReadOptions read;
    read.progress = [&progress](qint64 rows) { progress.done = rows; };
    read.cancel = &progress.cancel;
    runWithProgress(parent, tr("Reading %1…").arg(QFileInfo(path).fileName()), progress,
                    [&] { prepared = prepare(path, asIs, read); });
    return prepared;
}

jet::WriteOptions writeOptions(Progress &progress)
{
    jet::WriteOptions w;
    w.progress = [&progress](qint64 done, qint64 total) {
        progress.total = total;
        progress.done = done;
    };
    w.cancel = &progress.cancel;
    return w;
}

QString daysText(const jet::ConversionPlan &plan)
{
    QString text = jet::counted(plan.days.size(), "day", "days");
    if (plan.first.isValid())
        text += tr(", from %1 to %2").arg(diary::showDate(plan.first), diary::showDate(plan.last));
    return text;
}

QString nothingChanged(const QString &path)
{
    return tr("Nothing was changed: %1 is as it was. MEALWISE needs a diary of its own kind and closes now. Start it "
              "again to convert the file, or convert it with \"mealwise-diary convert-access\".")
        .arg(path);
}

// Reads the file and, where values are refused, asks whether to take them as
// they are. Nothing when the user said no or the file cannot be converted
// (said already).
std::optional<jet::PreparedConversion> readAndPlan(QWidget *parent, const QString &path, const QString &shownPath)
{
    jet::PreparedConversion prepared = readWithProgress(parent, path, false);
    if (!prepared.error.isEmpty()) {
        vb::MsgBox(prepared.error + QLatin1Char(' ') + nothingChanged(shownPath), parent);
        return std::nullopt;
    }
    if (!prepared.plan.ok()) {
        const QString question =
            tr("%1 holds %2, but these hold values that a diary refuses (%3):")
                .arg(QFileInfo(path).fileName(), daysText(prepared.plan),
                     jet::counted(prepared.plan.refused.size(), "row", "rows")) +
            QLatin1Char('\n') + prepared.plan.describeRefusals(10).join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
            tr("Convert it as it is? Stored scores and BMs are then kept unchanged, and the new diary does not refuse "
               "scores outside 1 to 10 or BMs below 0, as older diaries did not.");
        if (!choosers().askYesNo(parent, question)) {
            vb::MsgBox(nothingChanged(shownPath), parent);
            return std::nullopt;
        }
        prepared = readWithProgress(parent, path, true);
        if (!prepared.ok()) {
            vb::MsgBox((prepared.error.isEmpty() ? prepared.plan.describeRefusals(10).join(QLatin1Char('\n'))
                                                 : prepared.error) +
                           QLatin1Char(' ') + nothingChanged(shownPath),
                       parent);
            return std::nullopt;
        }
    }
    return prepared;
}

} // namespace

AccessPreparer setAccessPreparer(AccessPreparer p)
{
    AccessPreparer previous = std::move(preparer());
    preparer() = std::move(p);
    return previous;
}

bool offerAccessConversion(const QString &diaryPath, QWidget *parent)
{
    std::optional<jet::PreparedConversion> prepared = readAndPlan(parent, diaryPath, diaryPath);
    if (!prepared)
        return false;
    const QString name = QFileInfo(diaryPath).fileName();
    const QString question =
        tr("%1 is a diary kept in the Access (Jet) format of older programs, not yet a MEALWISE diary. It holds %2.")
            .arg(diaryPath, daysText(prepared->plan)) +
        QStringLiteral("\n\n") +
        tr("Convert it now? The new diary takes the name %1; the Access file is not changed and is kept beside it "
           "under a name with today's date.")
            .arg(name);
    if (!choosers().askYesNo(parent, question)) {
        vb::MsgBox(nothingChanged(diaryPath), parent);
        return false;
    }
    Progress progress;
    jet::ReplaceResult result;
    const QDateTime now = QDateTime::currentDateTime();
    runWithProgress(parent, tr("Converting %1…").arg(name), progress,
                    [&] { result = jet::replaceAccessDiary(*prepared, diaryPath, now, writeOptions(progress)); });
    if (!result.ok()) {
        vb::MsgBox(result.error, parent);
        return false;
    }
    vb::MsgBox(tr("Converted: %1 is now a MEALWISE diary of %2. The Access file is kept, unchanged, as %3.")
                   .arg(diaryPath, daysText(prepared->plan), result.keptPath),
               parent);
    return true;
}

bool offerToFinishConversion(const QString &diaryPath, QWidget *parent)
{
    const QStringList kept = jet::keptAccessFiles(diaryPath);
    if (kept.isEmpty())
        return false;
    const QString &source = kept.first();
    const QString question =
        tr("There is no diary at %1, but the Access file it was converted from is kept as %2: the conversion was "
           "cut short. Convert it again now? The kept file is not changed.")
            .arg(diaryPath, source);
    if (!choosers().askYesNo(parent, question)) {
        vb::MsgBox(tr("Nothing was changed; %1 is kept as it was. MEALWISE has no diary and closes now.").arg(source),
                   parent);
        return false;
    }
    std::optional<jet::PreparedConversion> prepared = readAndPlan(parent, source, source);
    if (!prepared)
        return false;
    Progress progress;
    QString error;
    runWithProgress(parent, tr("Converting %1…").arg(QFileInfo(source).fileName()), progress,
                    [&] { error = jet::writeNewDiary(prepared->plan, diaryPath, writeOptions(progress)); });
    if (!error.isEmpty()) {
        vb::MsgBox(error, parent);
        return false;
    }
    vb::MsgBox(tr("Converted: %1 is now a MEALWISE diary of %2. The Access file stays as %3.")
                   .arg(diaryPath, daysText(prepared->plan), source),
               parent);
    return true;
}

} // namespace app
