#include "forecast/NodeText.h"

#include <pugixml.hpp>

#include <string>

namespace {

pugi::xml_node ElementFrom(pugi::xml_node node)
{
    while (node && node.type() != pugi::node_element)
        node = node.next_sibling();
    return node;
}

} // namespace

// The fields are written into one buffer in document order, walking the tree
// by its parent and sibling links: each value is copied once, whatever the
// nesting, and no stack grows with the depth.
std::string NodeTextUtf8(const pugi::xml_node &element)
{
    std::string out;
    bool first = true;   // the element being written has no field yet
    const auto field = [&out, &first](const char *value) {
        if (!first)
            out += '|';
        out += value;
        first = false;
    };
    pugi::xml_node node = element;
    for (;;) {
        // An element without content gives nothing, even with attributes:
        // the forecast's empty "nil" values rely on that.
        pugi::xml_node child;
        if (const pugi::xml_node content = node.first_child()) {
            for (const pugi::xml_attribute &attribute : node.attributes())
                field(attribute.value());
            if (!content.next_sibling() && content.type() == pugi::node_pcdata)
                field(content.value());
            else
                // Only child elements count; stray text, comments, CDATA
                // sections and processing instructions among them are not values.
                child = ElementFrom(content);
        }
        if (child) {
            field("");
            first = true;
            node = child;
            continue;
        }
        // `node` is complete: on to the next element after it, climbing up
        // through the elements it completes.
        for (;;) {
            if (node == element)
                return out;
            if (const pugi::xml_node next = ElementFrom(node.next_sibling())) {
                out += '|';
                first = true;
                node = next;
                break;
            }
            node = node.parent();
        }
    }
}

QString NodeText(const pugi::xml_node &element)
{
    const std::string text = NodeTextUtf8(element);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
