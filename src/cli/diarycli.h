#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>
#include <vector>

// mealwise-diary: the diary's command-line companion, one subcommand per job,
// dispatched like git's. Nothing here needs a display.
namespace cli {

// Exit statuses every subcommand keeps to.
inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;   // with a message on standard error
inline constexpr int kBadUsage = 2; // with the usage on standard error

struct Io
{
    QTextStream &out;
    QTextStream &err;
};

struct Command
{
    const char *name;
    const char *summary; // one line, for the list of subcommands
    // `arguments` starts with the subcommand's own name, as a program's argv does.
    int (*run)(const QStringList &arguments, Io &io);
};

// How insights writes its figures: three decimals, 0.000 never signed; a p
// below 1e-300 as "<1e-300" rather than 0.
QString figureText(double value);
QString probabilityText(double p);

// Every subcommand, in the order the help lists them.
const std::vector<Command> &commands();

// The whole program: `arguments` as QCoreApplication::arguments() gives them.
int runDiaryCli(const QStringList &arguments, Io &io);

// What every subcommand shares: --help, and --path FILE for the diary.
class SubcommandParser
{
public:
    SubcommandParser(const char *name, const QString &description);
    QCommandLineParser &parser() { return m_parser; }
    // Parses; on --help prints the help to io.out and returns kDone, on an
    // unknown option or a missing value prints why and the usage to io.err and
    // returns kBadUsage. Nothing when the command should go on.
    std::optional<int> parse(const QStringList &arguments, Io &io);
    // --path's value, or the diary's own path.
    QString diaryPath() const;
    // The diary's state, judged as the start check judges it: false, with the
    // one message every program gives for that state, unless it can be used.
    bool diaryIsUsable(Io &io) const;
    // For a subcommand's own checks of its arguments: prints the message and
    // the usage, returns kBadUsage.
    int badUsage(const QString &message, Io &io) const;
    // The parser's help, naming "mealwise-diary COMMAND".
    QString helpText() const;

private:
    QString m_name;
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_path;
};

} // namespace cli
