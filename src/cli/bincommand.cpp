// mealwise-diary bin: the days deleted from the diary, listed, put back or
// removed for good.
#include "cli/diarycli.h"

#include "data/datetext.h"
#include "data/daybin.h"

namespace cli {

int runBin(const QStringList &arguments, Io &io)
{
    SubcommandParser p("bin", QStringLiteral("The days deleted from the diary (by Delete in the records window or "
                                             "replaced by an import) wait in its bin until it is emptied. --list "
                                             "shows them, each with its number in the bin first; --put-back puts "
                                             "the days with those numbers back, each with its old ID where no "
                                             "day has it now; --empty --yes removes them all for good."));
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("List the days in the bin, newest deletion first."));
    const QCommandLineOption putBack(
        QStringLiteral("put-back"),
        QStringLiteral("Put back the days with these numbers in the bin (as --list shows)."));
    const QCommandLineOption empty(QStringLiteral("empty"), QStringLiteral("Remove every day from the bin for good."));
    const QCommandLineOption yes(QStringLiteral("yes"), QStringLiteral("Confirm --empty."));
    p.parser().addOptions({list, putBack, empty, yes});
    p.parser().addPositionalArgument(QStringLiteral("NUMBER"),
                                     QStringLiteral("With --put-back: the numbers in the bin."),
                                     QStringLiteral("[NUMBER...]"));
    if (const auto status = p.parse(arguments, io))
        return *status;
    const QStringList args = p.parser().positionalArguments();
    const int modes = int(p.parser().isSet(list)) + int(p.parser().isSet(putBack)) + int(p.parser().isSet(empty));
    if (modes != 1)
        return p.badUsage(QStringLiteral("give one of --list, --put-back NUMBER... or --empty --yes."), io);
    if (p.parser().isSet(yes) && !p.parser().isSet(empty))
        return p.badUsage(QStringLiteral("--yes only confirms --empty."), io);

    if (p.parser().isSet(list)) {
        if (!args.isEmpty())
            return p.badUsage(QStringLiteral("--list takes no number."), io);
        const diary::BinList bin = diary::listBin(p.diaryPath());
        if (!bin.ok()) {
            io.err << "mealwise-diary bin: " << bin.error << "\n";
            return kFailed;
        }
        if (bin.entries.isEmpty()) {
            io.out << "The bin of " << p.diaryPath() << " is empty.\n";
            return kDone;
        }
        io.out << "NUMBER\tID\tDATE\tSCORE\tDELETED\tBY\tMEALS\n";
        for (const diary::BinEntry &e : bin.entries) {
            io.out << e.binId << '\t' << (e.dayId.isNull() ? QString() : e.dayId.toString()) << '\t'
                   << diary::showStoredDate(e.date) << '\t' << e.score.toString() << '\t'
                   << (e.deletedWhen.isValid() ? e.deletedWhen.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                               : e.deletedWhenText)
                   << '\t' << e.deletedBy << '\t' << e.meals << "\n";
        }
        io.out << bin.entries.size() << (bin.entries.size() == 1 ? " day" : " days") << " in the bin.\n";
        return kDone;
    }

    if (p.parser().isSet(putBack)) {
        if (args.isEmpty())
            return p.badUsage(QStringLiteral("--put-back needs the numbers of the days (bin --list shows them)."), io);
        QList<qint64> numbers;
        for (const QString &a : args) {
            bool ok = false;
            const qint64 n = a.toLongLong(&ok);
            if (!ok || n <= 0)
                return p.badUsage(QStringLiteral("\"%1\" is not a number of the bin.").arg(a), io);
            if (!numbers.contains(n))
                numbers << n;
        }
        const diary::PutBackResult r = diary::putBack(p.diaryPath(), numbers);
        if (!r.ok()) {
            io.err << "mealwise-diary bin: " << r.error << "\n";
            return kFailed;
        }
        io.out << r.summary() << "\n";
        return kDone;
    }

    if (!args.isEmpty())
        return p.badUsage(QStringLiteral("--empty takes no number."), io);
    if (!p.parser().isSet(yes)) {
        const diary::BinList bin = diary::listBin(p.diaryPath());
        return p.badUsage(QStringLiteral("--empty removes the %1 days in the bin for good; add --yes to do so.")
                              .arg(bin.entries.size()),
                          io);
    }
    const diary::EmptiedBin emptied = diary::emptyBin(p.diaryPath());
    if (!emptied.ok()) {
        io.err << "mealwise-diary bin: " << emptied.error << "\n";
        return kFailed;
    }
    io.out << "Removed " << emptied.removed << (emptied.removed == 1 ? " day" : " days") << " from the bin for good.\n";
    return kDone;
}

} // namespace cli
