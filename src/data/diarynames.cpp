#include "data/diarynames.h"

#include "data/diarycolumns.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace diary {

QString databaseFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\MEALWISE");
#else
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(kFolderName);
#endif
}

QString databasePath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\MEALWISE\\Records.mdb");
#else
    return databaseFolder() + QLatin1Char('/') + QLatin1String(kFileName);
#endif
}

QString databasePathProblem()
{
#ifdef Q_OS_WIN
    return {};
#else
    // QDir::homePath() falls back to "/" without HOME; never let that stand
    // for the user's folder.
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty() || !QDir::isAbsolutePath(home)) {
        return QCoreApplication::translate("diary", "The diary is kept in the folder MEALWISE of your home folder, but "
                                                    "the environment variable HOME does not name one (%1). Set HOME "
                                                    "to your home folder and start again.")
            .arg(home.isEmpty() ? QCoreApplication::translate("diary", "it is not set")
                                : QCoreApplication::translate("diary", "it is \"%1\"").arg(home));
    }
    return {};
#endif
}

const QStringList &recordsColumns()
{
    static const QStringList columns = [] {
        QStringList out;
        for (const DiaryColumn &c : kDiaryColumns)
            out << QLatin1String(c.name);
        return out;
    }();
    return columns;
}

const QStringList &foodColumns()
{
    static const QStringList columns{
        QStringLiteral("ADEQUATE FOOD"),
        QStringLiteral("IRRITABLE FOOD"),
        QStringLiteral("RELIABLE MEDICATION"),
        QStringLiteral("UNSATISFACTORY MEDICATION"),
    };
    return columns;
}

const QStringList &diaryQueryColumns()
{
    static const QStringList columns = [] {
        std::array<const DiaryColumn *, kColumnCount> byPlace{};
        for (size_t i = 0; i < byPlace.size(); ++i)
            byPlace[i] = &kDiaryColumns[i];
        std::ranges::sort(byPlace, {}, &DiaryColumn::gridPlace);
        QStringList out;
        for (const DiaryColumn *c : byPlace)
            out << QLatin1String(c->name);
        return out;
    }();
    return columns;
}

QString mainRecordSource()
{
    return QLatin1String(kDiaryQuery);
}

QString recordsRecordSource()
{
    // The row set's fields come in this select's order, as the window's
    // design named them.
    QStringList names;
    for (const DiaryColumn &c : kDiaryColumns)
        names << sqlName(c.name);
    return QStringLiteral("select ") + names.join(QLatin1Char(',')) + QStringLiteral(" from records");
}

QString foodRecordSource()
{
    return QStringLiteral("select [ADEQUATE FOOD],[IRRITABLE FOOD],[RELIABLE MEDICATION],[UNSATISFACTORY MEDICATION] "
                          "from [FOOD AND MEDICATION]");
}

QString selectForRecordSource(const QString &recordSource)
{
    if (recordSource.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive))
        return recordSource;
    return QLatin1String("select * from [") + recordSource + QLatin1Char(']');
}

} // namespace diary
