// mealwise-diary insights: the insights table of the diary, one row per item.
#include "cli/diarycli.h"

#include "analysis/diaryread.h"
#include "analysis/insights.h"

#include <optional>

namespace cli {

int runInsights(const QStringList &arguments, Io &io);

namespace {

enum class Format { Tsv, Csv, Json };

const QStringList &columns()
{
    static const QStringList names{
        QStringLiteral("item"),       QStringLiteral("kind"),    QStringLiteral("days"),    QStringLiteral("with_mean"),
        QStringLiteral("without_mean"), QStringLiteral("difference"), QStringLiteral("ci_low"), QStringLiteral("ci_high"),
        QStringLiteral("adjusted"),   QStringLiteral("p"),       QStringLiteral("q"),       QStringLiteral("verdict"),
        QStringLiteral("list"),
    };
    return names;
}

// A figure, or nothing where it does not exist.
std::optional<QString> score(const std::optional<double> &v)
{
    return v ? std::optional<QString>(QString::number(*v, 'f', 3)) : std::nullopt;
}
std::optional<QString> probability(const std::optional<double> &v)
{
    return v ? std::optional<QString>(QString::number(*v, 'g', 4)) : std::nullopt;
}

QString jsonString(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : s) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + QString(c);
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

QString csvField(const QString &s)
{
    if (!s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r')))
        return s;
    QString quoted = s;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString tsvField(QString s)
{
    // Items never hold a line break; a tab inside one would shift the columns.
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return s;
}

} // namespace

int runInsights(const QStringList &arguments, Io &io)
{
    SubcommandParser sp("insights",
                        QStringLiteral(
                            "Which foods, drinks and medications go with better or worse days.\n\n"
                            "One row per item, with the columns item kind days with_mean without_mean difference\n"
                            "ci_low ci_high adjusted p q verdict list:\n"
                            "  kind          food, drink or medication\n"
                            "  days          days holding the item that have an outcome (the score LAG days later)\n"
                            "  with_mean     mean outcome of those days; without_mean: of every other day with one\n"
                            "  difference    with_mean - without_mean, ci_low..ci_high its 95% interval (Welch)\n"
                            "  adjusted      the item's effect adjusted for the others (ridge regression)\n"
                            "  p, q          Mann-Whitney p and Benjamini-Hochberg q, for items with 5 days or more\n"
                            "  verdict       agrees, disagrees (q < 0.10), no-clear-effect or too-few-days\n"
                            "  list          the user's lists that hold it: adequate, irritating, reliable,\n"
                            "                unsatisfactory, joined by +; ending in ! when the verdict contradicts it\n"
                            "A figure that does not exist is an empty field (TSV, CSV) or null (JSON).\n"
                            "A link is not proof; talk to a doctor before changing medication.\n"
                            "Exit status: 0 done, 1 the diary cannot be read, 2 bad usage."));
    QCommandLineParser &p = sp.parser();
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("tsv (the default), csv or json."),
                                    QStringLiteral("FORMAT"), QStringLiteral("tsv"));
    const QCommandLineOption kind(QStringLiteral("kind"), QStringLiteral("Only food, drink or medication."),
                                  QStringLiteral("KIND"));
    const QCommandLineOption lag(QStringLiteral("lag"),
                                 QStringLiteral("Days from the item to the score: 0, 1 (the default) or 2."),
                                 QStringLiteral("LAG"), QStringLiteral("1"));
    p.addOption(format);
    p.addOption(kind);
    p.addOption(lag);
    if (const std::optional<int> done = sp.parse(arguments, io))
        return *done;
    if (!p.positionalArguments().isEmpty())
        return sp.badUsage(QStringLiteral("unexpected argument \"%1\".").arg(p.positionalArguments().first()), io);

    Format fmt = Format::Tsv;
    const QString f = p.value(format);
    if (f == QLatin1String("csv"))
        fmt = Format::Csv;
    else if (f == QLatin1String("json"))
        fmt = Format::Json;
    else if (f != QLatin1String("tsv"))
        return sp.badUsage(QStringLiteral("--format is tsv, csv or json, not \"%1\".").arg(f), io);
    std::optional<analysis::Kind> only;
    if (p.isSet(kind)) {
        const QString k = p.value(kind);
        if (k == QLatin1String("food"))
            only = analysis::Kind::Food;
        else if (k == QLatin1String("drink"))
            only = analysis::Kind::Drink;
        else if (k == QLatin1String("medication"))
            only = analysis::Kind::Medication;
        else
            return sp.badUsage(QStringLiteral("--kind is food, drink or medication, not \"%1\".").arg(k), io);
    }
    const QString l = p.value(lag);
    if (l != QLatin1String("0") && l != QLatin1String("1") && l != QLatin1String("2"))
        return sp.badUsage(QStringLiteral("--lag is 0, 1 or 2, not \"%1\".").arg(l), io);

    const analysis::DiaryContents contents = analysis::readDiaryContents(sp.diaryPath());
    if (!contents.error.isEmpty()) {
        io.err << "mealwise-diary insights: " << contents.error << "\n";
        return kFailed;
    }
    const analysis::Insights in = analysis::computeInsights(contents.rows, contents.lists, l.toInt());
    if (in.rowsWithoutValidDate > 0)
        io.err << "mealwise-diary insights: " << in.rowsWithoutValidDate
               << " day(s) without a valid date were left out.\n";

    if (fmt == Format::Json)
        io.out << "[";
    else
        io.out << columns().join(fmt == Format::Csv ? QLatin1Char(',') : QLatin1Char('\t')) << "\n";
    bool first = true;
    for (const analysis::ItemStats &s : in.items) {
        if (only && s.kind != *only)
            continue;
        QString list = analysis::listNames(s.lists);
        if (s.contradicts)
            list += QLatin1Char('!');
        const std::vector<std::optional<QString>> numbers{
            QString::number(s.days), score(s.withMean), score(s.withoutMean), score(s.difference),
            score(s.ciLow), score(s.ciHigh), score(s.adjusted), probability(s.p), probability(s.q),
        };
        const QString kindText = analysis::kindName(s.kind);
        const QString verdict = analysis::verdictKeyword(s.verdict);
        if (fmt == Format::Json) {
            io.out << (first ? "\n  {" : ",\n  {");
            io.out << "\"item\": " << jsonString(s.item) << ", \"kind\": " << jsonString(kindText);
            for (size_t i = 0; i < numbers.size(); ++i)
                io.out << ", " << jsonString(columns().at(qsizetype(i) + 2)) << ": "
                       << (numbers[i] ? *numbers[i] : QStringLiteral("null"));
            io.out << ", \"verdict\": " << jsonString(verdict) << ", \"list\": " << jsonString(list) << "}";
        } else {
            const QChar sep = fmt == Format::Csv ? QLatin1Char(',') : QLatin1Char('\t');
            io.out << (fmt == Format::Csv ? csvField(s.item) : tsvField(s.item)) << sep << kindText;
            for (const std::optional<QString> &n : numbers)
                io.out << sep << n.value_or(QString());
            io.out << sep << verdict << sep << list << "\n";
        }
        first = false;
    }
    if (fmt == Format::Json)
        io.out << (first ? "]\n" : "\n]\n");
    return kDone;
}

} // namespace cli
