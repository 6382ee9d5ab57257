#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

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

// What a check made of a reply: true when it passed; otherwise the rule that
// refused it (a short fixed name) and, in words, why and where.
struct WellFormedness {
    QString rule;
    QString reason;
    explicit operator bool() const { return rule.isEmpty(); }
};

// Legal characters, references and declaration place in the reply's text,
// and the bounds above.
WellFormedness WellFormedText(const QString &reply);

// One root element with no text beside it (the document is parsed as a
// fragment); no element repeats an attribute or uses an undeclared namespace
// prefix. `reply` is the text whose UTF-8 form the document was parsed from
// in place; it gives the place of a refusal.
WellFormedness WellFormedTree(const pugi::xml_document &document, const QString &reply);

// The reply checked and loaded: its text (WellFormedText), then parsed in
// place from `buffer`, which gets the reply's UTF-8 form and must outlive
// the document (rule "parse" when the parser refuses it, with where), then
// its tree (WellFormedTree). The reply's own encoding declaration no longer
// applies: the reply is already text.
WellFormedness LoadReply(const QString &reply, QByteArray &buffer, pugi::xml_document &document);

// "line L, column C" (both 1-based; lines end at LF, CR LF or CR, and a
// column counts characters) of the reply's character at `index`.
QString PlaceInReply(const QString &reply, qsizetype index);

// The index of the reply's character at `byteOffset` into its UTF-8 form
// (the offsets the parser gives); the reply's length for an offset at or
// past the end.
qsizetype IndexOfUtf8Offset(const QString &reply, std::ptrdiff_t byteOffset);

// The reason for a refusal of the reply's well-formedness at `index`.
QString NotWellFormedReason(const QString &reply, qsizetype index);
