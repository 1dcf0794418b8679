#pragma once

#include <QString>

// The per-user settings store: text values by application, section and key.
// On Linux the application "MEALWISE" lives in ~/.config/MEALWISE/MEALWISE.conf.
namespace vb {

QString GetSetting(const QString &appName, const QString &section, const QString &key,
                   const QString &defaultValue = QString());
void SaveSetting(const QString &appName, const QString &section, const QString &key, const QString &value);

// Where the store of `appName` keeps its values.
QString settingsFilePath(const QString &appName);

} // namespace vb
