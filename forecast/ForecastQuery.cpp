#include "forecast/Forecast.h"

#include "common/RuntimeError.h"

#include <pugixml.hpp>

namespace {

// Real forecasts nest a handful of levels; a reply nested deeper than this is
// refused as a run-time error instead of exhausting the stack.
constexpr int kMaxNesting = 4096;

QString Flatten(const pugi::xml_node &element, int depth)
{
    if (depth > kMaxNesting)
        throw RuntimeError(QStringLiteral("Out of stack space: the reply nests elements more than %1 levels deep")
                               .arg(kMaxNesting));

    QString fields;
    for (const pugi::xml_attribute &attribute : element.attributes())
        fields += u'|' + QString::fromUtf8(attribute.value());

    const pugi::xml_node first = element.first_child();
    // An element without content flattens to nothing, even when it has
    // attributes: the forecast's empty "nil" values rely on that.
    if (!first)
        return QString();

    if (!first.next_sibling() && first.type() == pugi::node_pcdata) {
        fields += u'|' + QString::fromUtf8(first.value());
    } else {
        // Only child elements count; stray text, comments, CDATA sections and
        // processing instructions among them are not values.
        for (const pugi::xml_node &child : element.children()) {
            if (child.type() == pugi::node_element)
                fields += u'|' + Flatten(child, depth + 1);
        }
    }

    if (!fields.isEmpty())
        fields.remove(0, 1);
    return fields;
}

} // namespace

QString ForecastQuery(const QString &origin, const QString &latitude, const QString &longitude)
{
    return origin + QStringLiteral("/MapClick.php?lat=") + latitude + QStringLiteral("&lon=") + longitude
        + QStringLiteral("&unit=0&lg=english&FcstType=dwml");
}

QString NodeText(const pugi::xml_node &element)
{
    return Flatten(element, 1);
}
