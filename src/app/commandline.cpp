#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace app {

namespace {

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};
    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
            "MEALWISE, a diary of meals, drinks, medications and bowel movements that ranks the days from the "
            "best to the worst.\n\n"
            "It reads the diary ~/MEALWISE/Records.mdb, which mealwise-setup creates, and remembers its window "
            "in ~/.config/MEALWISE/MEALWISE.conf. It takes no other argument and needs a graphical desktop; "
            "mealwise-diary works on the diary without one."));
        parser.addOption(help);
        parser.addOption(version);
    }
};

QString helpFrom(const QCommandLineParser &parser)
{
    // The parser names the program as it was called, perhaps by a full path.
    QString text = parser.helpText();
    const qsizetype end = text.indexOf(QLatin1String(" [options]"));
    if (text.startsWith(QLatin1String("Usage: ")) && end > 0)
        text.replace(7, end - 7, QStringLiteral("mealwise"));
    return text;
}

bool g_starting = false;
QtMessageHandler g_previous = nullptr;
QList<std::pair<QtMsgType, QString>> g_held;

void startupMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!g_starting) {
        if (g_previous)
            g_previous(type, context, message);
        return;
    }
    if (type == QtFatalMsg) {
        // The platform could not be started: say so plainly instead of the
        // toolkit's advice to reinstall, and end without a core dump.
        std::fprintf(stderr, "%s\n", kNoDisplayMessage);
        std::fflush(stderr);
        _exit(1);
    }
    g_held.append({type, message});
}

} // namespace

QString mealwiseHelpText()
{
    Parser p;
    p.parser.parse(QStringList{QStringLiteral("mealwise")});
    return helpFrom(p.parser);
}

std::optional<int> answerCommandLine(const QStringList &arguments)
{
    if (arguments.size() <= 1)
        return std::nullopt;
    Parser p;
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool parsed = p.parser.parse(arguments);
    if (parsed && p.parser.positionalArguments().isEmpty()) {
        if (p.parser.isSet(p.help)) {
            out << helpFrom(p.parser);
            return 0;
        }
        if (p.parser.isSet(p.version)) {
            out << "mealwise " << MEALWISE_VERSION << "\n";
            return 0;
        }
    }
    const QString what =
        !parsed ? p.parser.errorText()
                : QStringLiteral("unexpected argument \"%1\".").arg(p.parser.positionalArguments().first());
    err << "mealwise: " << what << "\n\n" << helpFrom(p.parser);
    return 2;
}

bool noDisplayNamed()
{
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void guardDisplayStartup()
{
    g_starting = true;
    g_previous = qInstallMessageHandler(startupMessages);
}

void startupDone()
{
    g_starting = false;
    // What the toolkit said while starting, now that it started, goes where
    // it would have gone.
    for (const auto &[type, message] : std::as_const(g_held)) {
        if (g_previous)
            g_previous(type, QMessageLogContext(), message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(message));
    }
    g_held.clear();
}

} // namespace app
