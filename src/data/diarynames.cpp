#include "data/diarynames.h"

#include <QCoreApplication>
#include <QDir>

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
    static const QStringList columns{
        QStringLiteral("BEVERAGE1"),   QStringLiteral("BEVERAGE2"),     QStringLiteral("BEVERAGE3"),
        QStringLiteral("BEVERAGE4"),   QStringLiteral("BMs"),           QStringLiteral("BREAKFAST"),
        QStringLiteral("COMMENTS"),    QStringLiteral("DATE"),          QStringLiteral("ID"),
        QStringLiteral("LUNCH"),       QStringLiteral("MEDICATION1"),   QStringLiteral("MEDICATION2"),
        QStringLiteral("MEDICATION3"), QStringLiteral("OVERALL SCORE"), QStringLiteral("SNACK1"),
        QStringLiteral("SNACK2"),      QStringLiteral("SNACK3"),        QStringLiteral("SNACK4"),
        QStringLiteral("TEA"),         QStringLiteral("MEDICATION4"),   QStringLiteral("MEDICATION5"),
        QStringLiteral("MEDICATION6"), QStringLiteral("MEDICATION7"),   QStringLiteral("MEDICATION8"),
        QStringLiteral("MEDICATION9"),
    };
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
    static const QStringList columns{
        QStringLiteral("DATE"),        QStringLiteral("OVERALL SCORE"), QStringLiteral("BMs"),
        QStringLiteral("BREAKFAST"),   QStringLiteral("BEVERAGE1"),     QStringLiteral("MEDICATION1"),
        QStringLiteral("MEDICATION4"), QStringLiteral("MEDICATION5"),   QStringLiteral("SNACK1"),
        QStringLiteral("LUNCH"),       QStringLiteral("BEVERAGE2"),     QStringLiteral("MEDICATION2"),
        QStringLiteral("MEDICATION6"), QStringLiteral("MEDICATION7"),   QStringLiteral("SNACK2"),
        QStringLiteral("TEA"),         QStringLiteral("BEVERAGE3"),     QStringLiteral("MEDICATION3"),
        QStringLiteral("MEDICATION8"), QStringLiteral("MEDICATION9"),   QStringLiteral("SNACK3"),
        QStringLiteral("BEVERAGE4"),   QStringLiteral("SNACK4"),        QStringLiteral("COMMENTS"),
        QStringLiteral("ID"),
    };
    return columns;
}

QString mainRecordSource()
{
    return QLatin1String(kDiaryQuery);
}

QString recordsRecordSource()
{
    return QStringLiteral("select BEVERAGE1,BEVERAGE2,BEVERAGE3,BEVERAGE4,BMs,BREAKFAST,COMMENTS,DATE,ID,LUNCH,"
                          "MEDICATION1,MEDICATION2,MEDICATION3,[OVERALL SCORE],SNACK1,SNACK2,SNACK3,SNACK4,TEA,"
                          "MEDICATION4,MEDICATION5,MEDICATION6,MEDICATION7,MEDICATION8,MEDICATION9 from records");
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
