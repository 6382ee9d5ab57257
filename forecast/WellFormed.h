#pragma once

#include <QString>

namespace pugi {
class xml_document;
}

// What the XML parser does not check itself. A reply loads only when its text
// passes the first check, it parses, and its tree passes the second.

// Bounds far beyond any forecast (a real reply nests a handful of levels and
// holds a few hundred elements and attributes): a reply past them does not
// load, so that a hostile one costs no more than reading it once.
inline constexpr int kMaxReplyNesting = 4096;
inline constexpr long long kMaxReplyNodes = 100000;   // elements, attributes, comments, sections

// Legal characters, references and declaration place in the reply's text,
// and the bounds above.
bool WellFormedText(const QString &reply);

// One root element with no text beside it (the document is parsed as a
// fragment); no element repeats an attribute or uses an undeclared namespace
// prefix.
bool WellFormedTree(const pugi::xml_document &document);
