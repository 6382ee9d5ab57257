#include "forecast/ForecastQuery.h"

QString ForecastQuery(const QString &origin, const QString &latitude, const QString &longitude)
{
    return origin + QStringLiteral("/MapClick.php?lat=") + latitude + QStringLiteral("&lon=") + longitude
        + QStringLiteral("&unit=0&lg=english&FcstType=dwml");
}
