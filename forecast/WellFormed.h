#pragma once

#include <QString>

namespace pugi {
class xml_document;
}

// What the XML parser does not check itself. A reply loads only when its text
// passes the first check, it parses, and its tree passes the second.

// Legal characters, references and declaration place in the reply's text.
bool WellFormedText(const QString &reply);

// One root element with no text beside it (the document is parsed as a
// fragment); no element repeats an attribute or uses an undeclared namespace
// prefix.
bool WellFormedTree(const pugi::xml_document &document);
