// mealwise-setup: creates a new, empty diary (and, for trying the program out,
// fills it with sample days). It never overwrites an existing file.
#include "data/diaryfolder.h"
#include "data/diarynames.h"
#include "data/diaryschema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mealwise-setup"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MEALWISE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates a new, empty MEALWISE diary, by default ~/MEALWISE/Records.mdb, and optionally fills it with "
        "sample days to try the program on. It never overwrites an existing file."));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    parser.addOption(helpOption);
    parser.addVersionOption();
    const QCommandLineOption pathOption(QStringLiteral("path"),
                                        QStringLiteral("Create the diary at FILE instead of ~/MEALWISE/Records.mdb."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption sampleOption(
        QStringLiteral("sample-days"),
        QStringLiteral("Fill the new diary with N sample days (0 to 1000000), one a day back "
                       "from yesterday."),
        QStringLiteral("N"));
    parser.addOption(pathOption);
    parser.addOption(sampleOption);
    parser.process(app);
    if (parser.isSet(helpOption)) {
        // The parser names the program as it was called, perhaps by a full
        // path of the machine it was built on; the help names it plainly.
        QString text = parser.helpText();
        const qsizetype end = text.indexOf(QLatin1String(" [options]"));
        if (text.startsWith(QLatin1String("Usage: ")) && end > 0)
            text.replace(7, end - 7, QStringLiteral("mealwise-setup"));
        QTextStream(stdout) << text;
        return 0;
    }

    QTextStream err(stderr);
    QTextStream out(stdout);
    QString path;
    if (parser.isSet(pathOption)) {
        path = parser.value(pathOption);
        if (path.isEmpty()) {
            err << "mealwise-setup: the path given with --path is empty; give the file to create, for example "
                << "--path ~/MEALWISE/Records.mdb.\n";
            return 2;
        }
    } else {
        const QString problem = diary::databasePathProblem();
        if (!problem.isEmpty()) {
            err << "mealwise-setup: " << problem << "\n";
            return 1;
        }
        path = diary::databasePath();
    }
    int days = 0;
    if (parser.isSet(sampleOption)) {
        bool ok = false;
        days = parser.value(sampleOption).toInt(&ok);
        if (!ok || days < 0 || days > 1000000) {
            err << "mealwise-setup: --sample-days takes a whole number from 0 to 1000000.\n";
            return 2;
        }
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "mealwise-setup: unexpected argument " << parser.positionalArguments().first() << "\n";
        return 2;
    }

    QString notice;
    QString failure = diary::secureDiaryFolder(QFileInfo(path).absolutePath(), &notice);
    if (!failure.isEmpty()) {
        err << "mealwise-setup: " << failure << "\n";
        return 1;
    }
    if (!notice.isEmpty())
        out << notice << "\n";
    failure = diary::createDiary(path);
    if (!failure.isEmpty()) {
        err << "mealwise-setup: " << failure << "\n";
        return 1;
    }
    failure = diary::addSampleDays(path, days, QDate::currentDate());
    if (!failure.isEmpty()) {
        // The file is our own, just made: leave nothing half-filled behind.
        QFile::remove(path);
        err << "mealwise-setup: " << failure << "\n";
        return 1;
    }
    out << "Created the diary " << path;
    if (days > 0)
        out << " with " << days << " sample days";
    out << ".\n";
    return 0;
}
