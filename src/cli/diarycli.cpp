#include "cli/diarycli.h"

#include "keeping/diarycheck.h"

#include "data/diarynames.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace cli {

namespace {

QString usage()
{
    QString text = QStringLiteral("Usage: mealwise-diary COMMAND [OPTIONS]\n\n"
                                  "The command-line companion of MEALWISE; it needs no display.\n\nCommands:\n");
    for (const Command &c : commands())
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(c.name), -14).arg(QLatin1String(c.summary));
    text += QStringLiteral("\nOptions:\n  -h, --help     Show this help.\n  -v, --version  Show the version.\n\n"
                           "Every command takes --path FILE (the diary; by default ~/MEALWISE/Records.mdb)\n"
                           "and --help. \"mealwise-diary COMMAND --help\" says more.\n"
                           "Exit status: 0 done, 1 failed (the reason on standard error), 2 bad usage.\n");
    return text;
}

} // namespace

int runDiaryCli(const QStringList &arguments, Io &io)
{
    const QStringList rest = arguments.mid(1);
    if (rest.isEmpty()) {
        io.err << usage();
        return kBadUsage;
    }
    const QString first = rest.first();
    if (first == QLatin1String("-h") || first == QLatin1String("--help") || first == QLatin1String("help")) {
        io.out << usage();
        return kDone;
    }
    if (first == QLatin1String("-v") || first == QLatin1String("--version")) {
        io.out << "mealwise-diary " << MEALWISE_VERSION << "\n";
        return kDone;
    }
    for (const Command &c : commands()) {
        if (first == QLatin1String(c.name))
            return c.run(rest, io);
    }
    io.err << "mealwise-diary: unknown command \"" << first << "\".\n\n" << usage();
    return kBadUsage;
}

SubcommandParser::SubcommandParser(const char *name, const QString &description)
    : m_name(QLatin1String(name))
    , m_help(QStringList{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."))
    , m_path(QStringLiteral("path"), QStringLiteral("The diary (by default ~/MEALWISE/Records.mdb)."),
             QStringLiteral("FILE"))
{
    m_parser.setApplicationDescription(description);
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(m_help);
    m_parser.addOption(m_path);
}

std::optional<int> SubcommandParser::parse(const QStringList &arguments, Io &io)
{
    // QCommandLineParser takes the first argument as the program's name.
    QStringList argv = arguments;
    if (!argv.isEmpty())
        argv[0] = QStringLiteral("mealwise-diary ") + m_name;
    if (!m_parser.parse(argv))
        return badUsage(m_parser.errorText(), io);
    if (m_parser.isSet(m_help)) {
        io.out << helpText();
        return kDone;
    }
    if (m_parser.isSet(m_path) && m_parser.value(m_path).isEmpty())
        return badUsage(QStringLiteral("--path needs a file name."), io);
    if (!m_parser.isSet(m_path)) {
        if (const QString problem = diary::databasePathProblem(); !problem.isEmpty()) {
            io.err << "mealwise-diary " << m_name << ": " << problem << "\n";
            return kFailed;
        }
    }
    return std::nullopt;
}

QString SubcommandParser::diaryPath() const
{
    return m_parser.isSet(m_path) ? m_parser.value(m_path) : diary::databasePath();
}

QString SubcommandParser::helpText() const
{
    // The parser names the running program as it was called, perhaps by a
    // full path of the machine it was built on; the help names the command.
    QString text = m_parser.helpText();
    const QString usage = QStringLiteral("Usage: ");
    const qsizetype end = text.indexOf(QLatin1String(" [options]"));
    if (text.startsWith(usage) && end > 0)
        text.replace(usage.size(), end - usage.size(), QStringLiteral("mealwise-diary ") + m_name);
    return text;
}

bool SubcommandParser::diaryIsUsable(Io &io) const
{
    const keeping::Verdict v = keeping::checkDiary(diaryPath(), keeping::CheckDepth::Quick);
    if (v.ok)
        return true;
    io.err << "mealwise-diary " << m_name << ": " << v.text(diaryPath()) << "\n";
    return false;
}

int SubcommandParser::badUsage(const QString &message, Io &io) const
{
    io.err << "mealwise-diary " << m_name << ": " << message << "\n\n" << helpText();
    return kBadUsage;
}

} // namespace cli
