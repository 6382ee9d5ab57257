#include "startup/UserFolders.h"

#include <QDir>
#include <QFile>

QString XdgBaseDirectory(const char *variable, const QString &homeDefault)
{
    // File names, not text: decoded as the file system encodes them.
    QString value = QFile::decodeName(qgetenv(variable));
    if (!value.startsWith(QLatin1Char('/')))
        return QDir::homePath() + QLatin1Char('/') + homeDefault;
    while (value.size() > 1 && value.endsWith(QLatin1Char('/')))
        value.chop(1);
    return value;
}

QString UserConfigFolder()
{
    return XdgBaseDirectory("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/selvorra");
}

QString UserCacheFolder()
{
    return XdgBaseDirectory("XDG_CACHE_HOME", QStringLiteral(".cache")) + QStringLiteral("/selvorra");
}
