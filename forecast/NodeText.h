#pragma once

#include <QString>

#include <string>

namespace pugi {
class xml_node;
}

// Flattens one element: its attribute values, then its single text or the
// flattened strings of its child elements, joined by "|".
QString NodeText(const pugi::xml_node &element);
// The same as UTF-8, as the parser holds its values.
std::string NodeTextUtf8(const pugi::xml_node &element);
