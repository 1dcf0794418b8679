#pragma once

#include <QString>

namespace diary {

// The version of the SQLite library that the diary is read and written with
// (the one behind Qt's driver), or an empty text when the driver is missing.
QString sqliteVersion();

} // namespace diary
