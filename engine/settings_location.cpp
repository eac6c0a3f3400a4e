#include "settings_location.h"

#include "product.h"

#include <QDir>
#include <QStandardPaths>

QString SettingsPath()
{
#ifdef Q_OS_WIN
    const QString base = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
#else
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#endif
    const QString path = base + u'/' + QLatin1String(kCompanyName) + u'/' +
                         QLatin1String(kProductName) + u'/';
    QDir().mkpath(path);
    return path;
}
