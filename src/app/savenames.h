#pragma once

#include <QDate>
#include <QString>

// Where a save dialog for exports and reports starts, and the name it proposes.
namespace app {

// `documents` where it is a folder, else `home`.
QString startFolder(const QString &documents, const QString &home);
// The desktop's documents folder where it exists, else the home folder.
QString documentsFolder();

// "MEALWISE-2026-09-11-to-2026-12-09.pdf": the range's first and last day.
// Without a valid range, "MEALWISE-<fallback>.<extension>".
QString rangedFileName(const QDate &from, const QDate &to, const QString &extension, const QString &fallback);

} // namespace app
