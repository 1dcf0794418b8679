// mealwise-diary insights: the insights table of the diary, one row per item.
#include "cli/diarycli.h"

#include "analysis/diaryread.h"
#include "analysis/insights.h"
#include "text/fields.h"

#include <optional>

namespace cli {

int runInsights(const QStringList &arguments, Io &io);

QString figureText(double value)
{
    const QString text = QString::number(value, 'f', 3);
    return text == QLatin1String("-0.000") ? QStringLiteral("0.000") : text;
}

QString probabilityText(double p)
{
    // Below the smallest double a p is not zero, only too small to tell.
    if (p < 1e-300)
        return QStringLiteral("<1e-300");
    return QString::number(p, 'g', 4);
}

namespace {

enum class Format { Tsv, Csv, Json };

const QStringList &columns()
{
    static const QStringList names{
        QStringLiteral("item"),
        QStringLiteral("kind"),
        QStringLiteral("days"),
        QStringLiteral("with_mean"),
        QStringLiteral("without_mean"),
        QStringLiteral("difference"),
        QStringLiteral("ci_low"),
        QStringLiteral("ci_high"),
        QStringLiteral("adjusted"),
        QStringLiteral("p"),
        QStringLiteral("q"),
        QStringLiteral("verdict"),
        QStringLiteral("list"),
        QStringLiteral("adj_low"),
        QStringLiteral("adj_high"),
        QStringLiteral("with"),
    };
    return names;
}

std::optional<QString> score(const std::optional<double> &v)
{
    return v ? std::optional<QString>(figureText(*v)) : std::nullopt;
}
std::optional<QString> probability(const std::optional<double> &v)
{
    return v ? std::optional<QString>(probabilityText(*v)) : std::nullopt;
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

} // namespace

int runInsights(const QStringList &arguments, Io &io)
{
    SubcommandParser sp(
        "insights",
        QStringLiteral("Which foods, drinks and medications go with better or worse days.\n\n"
                       "Method: one regression of the day's score on every tested item at lags 0, 1 and 2\n"
                       "together, with an intercept and smooth curves over time (cubic B-splines, a knot\n"
                       "every 90 days) so that slow drifts and seasons are not read as foods; one\n"
                       "Prais-Winsten step removes the score's day-to-day carry-over (a day missing from\n"
                       "the diary breaks the chain). Each effect has a t test on the pooled error of that\n"
                       "fit (N - k degrees of freedom); Benjamini-Hochberg's q over the items at the chosen\n"
                       "lag gives the verdict at q < 0.10, its direction from the same effect. A row of\n"
                       "the model is a scored day whose two days before are in the diary. Items are tested\n"
                       "with 5 such days or more and 5 without; the model holds the most frequent of them\n"
                       "while its columns stay within min(2500, N - max(30, N/4)); the others are judged on\n"
                       "their own against what the model leaves unexplained. Items that take turns so that\n"
                       "one of them is on every day (a breakfast always one of a few) are each measured\n"
                       "against the usual one of the others; items on exactly the same days are aliased.\n\n"
                       "One row per item, with the columns item kind days with_mean without_mean difference\n"
                       "ci_low ci_high adjusted p q verdict list adj_low adj_high with:\n"
                       "  kind          food, drink or medication\n"
                       "  days          days holding the item that have an outcome (the score LAG days later)\n"
                       "  with_mean     mean outcome of those days; without_mean: of every other day with one\n"
                       "  difference    with_mean - without_mean, ci_low..ci_high its 95% interval (Welch):\n"
                       "                the plain comparison, which the verdict does not use\n"
                       "  adjusted      the model's effect at lag LAG in score points, adj_low..adj_high its\n"
                       "                95% interval\n"
                       "  p, q          the effect's t-test p and Benjamini-Hochberg q; below 1e-300 a p is\n"
                       "                written <1e-300 (a string in JSON)\n"
                       "  verdict       agrees, disagrees (q < 0.10), no-clear-effect, too-few-days (under 5\n"
                       "                days), cannot-compare (on all but 4 days or fewer), aliased (always\n"
                       "                with another item: cannot be told apart), not-judged (the diary is\n"
                       "                too short, or no room to tell it apart)\n"
                       "  list          the user's lists that hold it: adequate, irritating, reliable,\n"
                       "                unsatisfactory, joined by +; ending in ! when the verdict contradicts it\n"
                       "  with          the item it most often shares its days with and the share, when that\n"
                       "                is 70% or more (RYE CRISPBREAD 92%)\n"
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

    // The diary's state in the words every program uses for it.
    if (!sp.diaryIsUsable(io))
        return kFailed;
    const analysis::DiaryContents contents = analysis::readDiaryContents(sp.diaryPath());
    if (!contents.error.isEmpty()) {
        io.err << "mealwise-diary insights: " << contents.error << "\n";
        return kFailed;
    }
    const analysis::Insights in = analysis::computeInsights(contents.rows, contents.lists, l.toInt());
    if (in.rowsWithoutValidDate > 0)
        io.err << "mealwise-diary insights: " << in.rowsWithoutValidDate
               << " day(s) without a valid date were left out.\n";
    if (in.moreDaysNeeded > 0)
        io.err << "mealwise-diary insights: the diary is too short for the model; it needs " << in.moreDaysNeeded
               << " more scored day(s) in a row to judge any item.\n";
    if (in.secondStage > 0 || in.notJudged > 0)
        io.err << "mealwise-diary insights: " << in.inModel << " item(s) judged in the model, " << in.secondStage
               << " on their own beyond its room, " << in.notJudged << " not judged.\n";

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
            QString::number(s.days), score(s.withMean), score(s.withoutMean), score(s.difference), score(s.ciLow),
            score(s.ciHigh),         score(s.adjusted), probability(s.p),     probability(s.q),
        };
        const std::optional<QString> adjLow = score(s.adjLow);
        const std::optional<QString> adjHigh = score(s.adjHigh);
        const QString with = analysis::partnerText(s);
        const QString kindText = analysis::kindName(s.kind);
        const QString verdict = analysis::verdictKeyword(s.verdict);
        if (fmt == Format::Json) {
            io.out << (first ? "\n  {" : ",\n  {");
            io.out << "\"item\": " << jsonString(s.item) << ", \"kind\": " << jsonString(kindText);
            const auto number = [](const std::optional<QString> &n) {
                if (!n)
                    return QStringLiteral("null");
                return n->startsWith(QLatin1Char('<')) ? jsonString(*n) : *n;
            };
            for (size_t i = 0; i < numbers.size(); ++i)
                io.out << ", " << jsonString(columns().at(qsizetype(i) + 2)) << ": " << number(numbers[i]);
            io.out << ", \"verdict\": " << jsonString(verdict) << ", \"list\": " << jsonString(list)
                   << ", \"adj_low\": " << number(adjLow) << ", \"adj_high\": " << number(adjHigh)
                   << ", \"with\": " << jsonString(with) << "}";
        } else {
            const QChar sep = fmt == Format::Csv ? QLatin1Char(',') : QLatin1Char('\t');
            const auto field = [&](const QString &value) {
                return text::lineField(value, fmt == Format::Csv ? text::Separator::Comma : text::Separator::Tab);
            };
            io.out << field(s.item) << sep << kindText;
            for (const std::optional<QString> &n : numbers)
                io.out << sep << n.value_or(QString());
            io.out << sep << verdict << sep << list << sep << adjLow.value_or(QString()) << sep
                   << adjHigh.value_or(QString()) << sep << field(with) << "\n";
        }
        first = false;
    }
    if (fmt == Format::Json)
        io.out << (first ? "]\n" : "\n]\n");
    return kDone;
}

} // namespace cli
