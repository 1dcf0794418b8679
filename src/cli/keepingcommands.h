#pragma once

#include "cli/diarycli.h"

// The diary's keeping: check, backups, restore, export, import, the report.
namespace cli {
int runCheck(const QStringList &arguments, Io &io);
int runBackup(const QStringList &arguments, Io &io);
int runRestore(const QStringList &arguments, Io &io);
int runExport(const QStringList &arguments, Io &io);
int runImport(const QStringList &arguments, Io &io);
int runReport(const QStringList &arguments, Io &io);
} // namespace cli
