#include "platform/settingsstore.h"

#include <QSettings>

namespace vb {

QString GetSetting(const QString &appName, const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, appName, appName);
    const QVariant value = store.value(section + QLatin1Char('/') + key);
    return value.isValid() ? value.toString() : defaultValue;
}

void SaveSetting(const QString &appName, const QString &section, const QString &key, const QString &value)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, appName, appName);
    store.setValue(section + QLatin1Char('/') + key, value);
    store.sync();
}

QString settingsFilePath(const QString &appName)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, appName, appName);
    return store.fileName();
}

} // namespace vb
