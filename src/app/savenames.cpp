#include "app/savenames.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace app {

QString startFolder(const QString &documents, const QString &home)
{
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : home;
}

QString documentsFolder()
{
    return startFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QDir::homePath());
}

QString rangedFileName(const QDate &from, const QDate &to, const QString &extension, const QString &fallback)
{
    if (!from.isValid() || !to.isValid())
        return QStringLiteral("MEALWISE-%1.%2").arg(fallback, extension);
    return QStringLiteral("MEALWISE-%1-to-%2.%3").arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate), extension);
}

} // namespace app
