#include "app/sessionend.h"

#include "app/frmmain.h"
#include "app/module1.h"
#include "data/diarynames.h"
#include "data/recoveryfile.h"
#include "entry/boundentrywindow.h"
#include "platform/msgbox.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// Only an async-signal-safe write here; the work happens on the UI thread.
void onSignal(int signal)
{
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void closeLikeUnload()
{
    // Nobody answers a box now: what cannot be written, and anything else
    // there is to say, is kept for the next start.
    BoundEntryWindow::setClosingUnattended(true);
    vb::setMsgBoxSink([](const QString &text, QWidget *) {
        const QString path = diary::databasePath();
        if (!diary::keepForNextStart(path, text).isEmpty())
            std::fprintf(stderr, "MEALWISE: %s\n", qPrintable(text));
    });
    if (gMainWindow)
        gMainWindow->close();
    QCoreApplication::quit();
}

} // namespace

void installSessionEndHandlers()
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    // The session manager asks before it ends the session; closing then
    // writes what is pending while the program may still write.
    QObject::connect(app, &QGuiApplication::commitDataRequest, app, [](QSessionManager &) { closeLikeUnload(); });

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        closeLikeUnload();
    });
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void offerKeptChanges(const QString &diaryPath)
{
    QString kept = diary::keptText(diaryPath);
    if (kept.isEmpty())
        return;
    if (kept.size() > 4000)
        kept = kept.left(4000) + QStringLiteral("\n...");
    vb::MsgBox(QCoreApplication::translate("MEALWISE",
                                           "When MEALWISE was last ended by the desktop or a signal, it could not save "
                                           "what follows. It is kept in %1, which only you can read. Type it in again "
                                           "(open the file with any text editor to see all of it), then delete the "
                                           "file; until then this message comes at every start.\n\n%2")
                   .arg(diary::recoveryPath(diaryPath), kept.trimmed()));
}
