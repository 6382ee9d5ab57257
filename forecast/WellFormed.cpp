#include "forecast/WellFormed.h"

#include "common/Text.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// pugixml parses fast but lets through some text that is not well-formed XML:
// a bare "&", an unknown entity, a control character, a "<" inside an
// attribute value, a declaration that is not at the very start, a repeated
// attribute, an undeclared namespace prefix. A reply with any of these does
// not load, so the window never shows values read from a broken document.
// The text checks run before the parse, the tree checks after it; both are
// single passes so that large replies cost no more than their length.

namespace {

bool IsXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

bool LegalCharacter(char16_t c)
{
    return c >= 0x20 ? c < 0xFFFE : (c == 0x9 || c == 0xA || c == 0xD);
}

// Where and why the text check stopped. The first refusal noted is the one
// reported: a helper that fails inside another notes the closer cause.
struct Stop {
    const char *rule = nullptr;
    qsizetype at = -1;

    // Notes a refusal at `where`; gives -1, the helpers' "no end found".
    qsizetype Refuse(const char *refusedBy, qsizetype where)
    {
        if (rule == nullptr) {
            rule = refusedBy;
            at = where;
        }
        return -1;
    }
};

// The first character in [from, to) that XML does not allow, or -1.
qsizetype FirstIllegal(std::u16string_view text, qsizetype from, qsizetype to)
{
    for (qsizetype i = from; i < to; ++i)
        if (!LegalCharacter(text[i]))
            return i;
    return -1;
}

// A reference that starts at text[at] ("&"): one of the five predefined
// entities or a character reference to a legal character. Returns the
// position of its closing ";", or -1 when it is not a reference.
qsizetype ReferenceEnd(std::u16string_view text, qsizetype at)
{
    const qsizetype n = static_cast<qsizetype>(text.size());
    qsizetype i = at + 1;
    if (i < n && text[i] == u'#') {
        ++i;
        const bool hex = i < n && text[i] == u'x';
        if (hex)
            ++i;
        const DigitRun digits = ReadDigits(QStringView(text.data(), n), i, hex ? 16 : 10);
        const bool closed = digits.end < n && text[digits.end] == u';';
        return closed && !digits.empty() && digits.value <= 0x10FFFF && IsXmlChar(static_cast<char32_t>(digits.value))
            ? digits.end
            : -1;
    }
    for (const std::u16string_view name : {u"amp;", u"lt;", u"gt;", u"quot;", u"apos;"}) {
        if (text.substr(static_cast<size_t>(i), name.size()) == name)
            return i + static_cast<qsizetype>(name.size()) - 1;
    }
    return -1;
}

// The position of `end` at or after `from`, or -1.
qsizetype Find(std::u16string_view text, std::u16string_view end, qsizetype from)
{
    const size_t at = text.find(end, static_cast<size_t>(from));
    return at == std::u16string_view::npos ? -1 : static_cast<qsizetype>(at);
}

bool StartsAt(std::u16string_view text, qsizetype at, std::u16string_view what)
{
    return text.substr(static_cast<size_t>(at), what.size()) == what;
}

// The end of a section closed by `closer` that starts with `opener` at `at`,
// its characters checked on the way; -1 when it is not closed (refused by
// `rule`) or holds an illegal character.
qsizetype SectionEnd(std::u16string_view text, qsizetype at, std::u16string_view opener,
                     std::u16string_view closer, const char *rule, Stop &stop)
{
    const qsizetype from = at + static_cast<qsizetype>(opener.size());
    const qsizetype end = Find(text, closer, from);
    if (end < 0)
        return stop.Refuse(rule, at);
    if (const qsizetype illegal = FirstIllegal(text, from, end); illegal >= 0)
        return stop.Refuse("character", illegal);
    return end + static_cast<qsizetype>(closer.size()) - 1;
}

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// The first character in [from, to) that is not white space, or `to`.
qsizetype FirstNonBlank(std::u16string_view text, qsizetype from, qsizetype to)
{
    while (from < to && IsBlank(text[from]))
        ++from;
    return from;
}

bool Blank(std::u16string_view text, qsizetype from, qsizetype to)
{
    return FirstNonBlank(text, from, to) == to;
}

// The end of the name starting at `from`: letters, digits, "_", ":", ".",
// "-" and every character beyond ASCII, as the parser takes them.
qsizetype NameEnd(std::u16string_view text, qsizetype from)
{
    const qsizetype n = static_cast<qsizetype>(text.size());
    while (from < n) {
        const char16_t c = text[from];
        const bool nameChar = c >= 0x80 || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
            || (c >= u'0' && c <= u'9') || c == u'_' || c == u':' || c == u'.' || c == u'-';
        if (!nameChar)
            break;
        ++from;
    }
    return from;
}

// The end of a comment starting at `at`: a comment holds no "--" but its end.
qsizetype CommentEnd(std::u16string_view text, qsizetype at, Stop &stop)
{
    const qsizetype dashes = Find(text, u"--", at + 4);
    if (dashes < 0)
        return stop.Refuse("comment", at);
    if (!StartsAt(text, dashes, u"-->"))
        return stop.Refuse("comment", dashes);
    return SectionEnd(text, at, u"<!--", u"-->", "comment", stop);
}

// The end (">") of a document type declaration starting at `at`, stepping
// over its internal subset, quoted literals, and the comments and processing
// instructions the subset may hold (an apostrophe in a comment is no quote).
qsizetype DoctypeEnd(std::u16string_view text, qsizetype at, Stop &stop)
{
    const qsizetype n = static_cast<qsizetype>(text.size());
    int brackets = 0;
    for (qsizetype i = at + 2; i < n; ++i) {
        const char16_t c = text[i];
        if (brackets > 0 && StartsAt(text, i, u"<!--")) {
            i = CommentEnd(text, i, stop);
        } else if (brackets > 0 && StartsAt(text, i, u"<?")) {
            i = SectionEnd(text, i, u"<?", u"?>", "instruction", stop);
        } else if (c == u'"' || c == u'\'') {
            const qsizetype quote = i;
            if ((i = Find(text, std::u16string_view(&text[i], 1), i + 1)) < 0)
                return stop.Refuse("doctype", quote);
        } else if (c == u'[') {
            ++brackets;
        } else if (c == u']') {
            --brackets;
        } else if (c == u'>' && brackets <= 0) {
            if (const qsizetype illegal = FirstIllegal(text, at, i); illegal >= 0)
                return stop.Refuse("character", illegal);
            return i;
        }
        if (i < 0)
            return -1;
    }
    return stop.Refuse("doctype", at);
}

// The end (">") of a start or end tag starting at `at`. Attribute values may
// hold ">" but not "<", and their "&" must start a reference. Each attribute
// value counts one to `items`.
qsizetype TagEnd(std::u16string_view text, qsizetype at, qsizetype &items, Stop &stop)
{
    const qsizetype n = static_cast<qsizetype>(text.size());
    char16_t quote = 0;
    for (qsizetype i = at + 1; i < n; ++i) {
        const char16_t c = text[i];
        if (!LegalCharacter(c))
            return stop.Refuse("character", i);
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else if (c == u'<') {
                return stop.Refuse("attribute-value", i);
            } else if (c == u'&') {
                const qsizetype ampersand = i;
                if ((i = ReferenceEnd(text, i)) < 0)
                    return stop.Refuse("reference", ampersand);
            }
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            ++items;
        } else if (c == u'>') {
            return i;
        } else if (c == u'<' || c == u'&') {
            return stop.Refuse("tag", i);
        }
    }
    return stop.Refuse("tag", at);
}

// Where the text scan has to look closer: markup, references and every
// character below the space.
constexpr std::array<bool, 0x80> kStops = [] {
    std::array<bool, 0x80> stops{};
    for (char16_t c = 0; c < 0x20; ++c)
        stops[c] = true;
    stops[u'<'] = stops[u'&'] = stops[u']'] = true;
    return stops;
}();

// The first stop at or after `from`, or the text's length.
qsizetype NextStop(std::u16string_view text, qsizetype from)
{
    const char16_t *data = text.data();
    const qsizetype n = static_cast<qsizetype>(text.size());
    while (from < n && (data[from] < 0x80 ? !kStops[data[from]] : data[from] < 0xFFFE))
        ++from;
    return from;
}

// The words for a refusal of the text check.
QString TextReason(const char *rule, const QString &reply, qsizetype at)
{
    const QString place = PlaceInReply(reply, at);
    if (std::strcmp(rule, "nesting") == 0)
        return QStringLiteral("the reply nests deeper than %1 levels (%2)").arg(kMaxReplyNesting).arg(place);
    if (std::strcmp(rule, "node-count") == 0)
        return QStringLiteral("the reply holds more than %1 elements, attributes, comments and sections (%2)")
            .arg(kMaxReplyNodes)
            .arg(place);
    return NotWellFormedReason(reply, at);
}

} // namespace

QString PlaceInReply(const QString &reply, qsizetype index)
{
    const qsizetype n = reply.size();
    index = std::clamp(index, qsizetype(0), n);
    qsizetype line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < index; ++i) {
        const QChar c = reply.at(i);
        // A CR LF pair ends one line, at its LF.
        if (c == u'\n' || (c == u'\r' && (i + 1 >= n || reply.at(i + 1) != u'\n'))) {
            ++line;
            lineStart = i + 1;
        }
    }
    // A character outside the 16-bit range is one column, not two.
    qsizetype column = 1;
    for (qsizetype i = lineStart; i < index; ++i)
        if (!(reply.at(i).isLowSurrogate() && i > lineStart && reply.at(i - 1).isHighSurrogate()))
            ++column;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

qsizetype IndexOfUtf8Offset(const QString &reply, std::ptrdiff_t byteOffset)
{
    // What the conversion to UTF-8 writes for half a surrogate pair.
    static const qsizetype loneSurrogateBytes = QString(QChar(0xD800)).toUtf8().size();
    const qsizetype n = reply.size();
    std::ptrdiff_t bytes = 0;
    qsizetype i = 0;
    while (i < n) {
        const char16_t c = reply.at(i).unicode();
        qsizetype units = 1;
        std::ptrdiff_t size = 3;
        if (c < 0x80) {
            size = 1;
        } else if (c < 0x800) {
            size = 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && reply.at(i + 1).isLowSurrogate()) {
            size = 4;
            units = 2;
        } else if (QChar::isSurrogate(c)) {
            size = loneSurrogateBytes;
        }
        if (bytes + size > byteOffset)
            break;
        bytes += size;
        i += units;
    }
    return i;
}

QString NotWellFormedReason(const QString &reply, qsizetype index)
{
    return QStringLiteral("the reply is not well-formed XML (%1)").arg(PlaceInReply(reply, index));
}

WellFormedness WellFormedText(const QString &reply)
{
    const std::u16string_view text(reinterpret_cast<const char16_t *>(reply.constData()),
                                   static_cast<size_t>(reply.size()));
    const qsizetype n = static_cast<qsizetype>(text.size());
    Stop stop;
    int depth = 0;
    qsizetype nodes = 0;
    qsizetype outside = 0;   // where the text outside every element began
    for (qsizetype i = NextStop(text, 0); i < n; i = NextStop(text, i + 1)) {
        const qsizetype at = i;
        const char16_t c = text[i];
        // Outside the root only white space may stand between markup (the
        // parser drops text at the very end of the reply unseen).
        if (c == u'<' && depth == 0 && !Blank(text, outside, i)) {
            stop.Refuse("text-outside-root", FirstNonBlank(text, outside, i));
            break;
        }
        if (c == u'&') {
            if ((i = ReferenceEnd(text, i)) < 0)
                stop.Refuse("reference", at);
        } else if (c == u']') {
            if (StartsAt(text, i, u"]]>"))
                i = stop.Refuse("cdata-end", at);
        } else if (c != u'<') {
            if (!LegalCharacter(c))
                i = stop.Refuse("character", at);
        } else if (!StartsAt(text, i, u"</") && ++nodes > kMaxReplyNodes) {
            i = stop.Refuse("node-count", at);
        } else if (StartsAt(text, i, u"<!--")) {
            i = CommentEnd(text, i, stop);
        } else if (StartsAt(text, i, u"<![CDATA[")) {
            i = SectionEnd(text, i, u"<![CDATA[", u"]]>", "cdata", stop);
        } else if (StartsAt(text, i, u"<?")) {
            // A target name, then white space or the end. The parser reads
            // no further into a declaration (target "xml" in any case), which
            // may stand only at the very start.
            const qsizetype targetEnd = NameEnd(text, i + 2);
            const bool declaration = targetEnd == i + 5 && (text[i + 2] | 0x20) == u'x'
                && (text[i + 3] | 0x20) == u'm' && (text[i + 4] | 0x20) == u'l';
            const bool targetEnds = StartsAt(text, targetEnd, u"?>") || (targetEnd < n && IsBlank(text[targetEnd]));
            if (targetEnd == i + 2 || !targetEnds)
                i = stop.Refuse("instruction", targetEnd);
            else if (declaration && i != 0)
                i = stop.Refuse("declaration-place", at);
            else
                i = SectionEnd(text, i, u"<?", u"?>", "instruction", stop);
        } else if (StartsAt(text, i, u"<!")) {
            i = DoctypeEnd(text, i, stop);
        } else {
            const bool endTag = StartsAt(text, i, u"</");
            i = TagEnd(text, i, nodes, stop);
            if (i >= 0 && nodes > kMaxReplyNodes)
                i = stop.Refuse("node-count", at);
            else if (i >= 0 && endTag)
                --depth;
            else if (i >= 0 && text[i - 1] != u'/' && ++depth > kMaxReplyNesting)
                i = stop.Refuse("nesting", at);
        }
        if (i < 0)
            break;
        if (c == u'<' && depth == 0)
            outside = i + 1;
    }
    if (stop.rule == nullptr && depth <= 0 && !Blank(text, outside, n))
        stop.Refuse("text-outside-root", FirstNonBlank(text, outside, n));
    if (stop.rule == nullptr)
        return {};
    return {QString::fromLatin1(stop.rule), TextReason(stop.rule, reply, stop.at)};
}

namespace {

std::string_view PrefixOf(const char *name)
{
    const char *colon = std::strchr(name, ':');
    return colon == nullptr ? std::string_view() : std::string_view(name, static_cast<size_t>(colon - name));
}

bool Same(const char *a, const char *b) { return std::strcmp(a, b) == 0; }

size_t NameHash(const char *name)
{
    size_t hash = 14695981039346656037ULL;   // FNV-1a
    for (; *name; ++name)
        hash = (hash ^ static_cast<unsigned char>(*name)) * 1099511628211ULL;
    return hash;
}

// What the element check refused: the rule and the name (a prefix or an
// attribute's name) it refused.
struct ElementRefusal {
    const char *rule = nullptr;
    std::string_view name;
};

// The elements' checks, given in document order with their nesting level; it
// keeps the namespace prefixes that are in scope.
class ElementCheck {
public:
    ElementRefusal Check(const pugi::xml_node &element, int level)
    {
        while (!declared_.empty() && declared_.back().first >= level) {
            --inScope_[declared_.back().second];
            declared_.pop_back();
        }
        // Declarations first: an attribute may use a prefix declared after it.
        size_t count = 0;
        for (const pugi::xml_attribute &attribute : element.attributes()) {
            ++count;
            if (std::strncmp(attribute.name(), "xmlns:", 6) == 0) {
                declared_.emplace_back(level, std::string_view(attribute.name() + 6));
                ++inScope_[declared_.back().second];
            }
        }
        if (const std::string_view prefix = PrefixOf(element.name()); !Declared(prefix))
            return {"namespace-prefix", prefix};
        for (const pugi::xml_attribute &attribute : element.attributes()) {
            const std::string_view prefix = PrefixOf(attribute.name());
            if (prefix != "xmlns" && !Declared(prefix))
                return {"namespace-prefix", prefix};
        }
        if (const char *repeated = Repeated(element, count))
            return {"repeated-attribute", repeated};
        return {};
    }

private:
    // The name of an attribute that the element repeats, or null.
    // Elements have a handful of attributes, compared pairwise; many are
    // looked up in a table of their names, so a million of them cost a
    // million steps.
    const char *Repeated(const pugi::xml_node &element, size_t count)
    {
        if (count <= 8) {
            for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute())
                for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute())
                    if (Same(a.name(), b.name()))
                        return b.name();
            return nullptr;
        }
        size_t size = 16;
        while (size < count + count / 3)
            size *= 2;
        names_.assign(size, nullptr);
        for (const pugi::xml_attribute &attribute : element.attributes()) {
            size_t at = NameHash(attribute.name()) & (size - 1);
            for (; names_[at] != nullptr; at = (at + 1) & (size - 1))
                if (Same(names_[at], attribute.name()))
                    return attribute.name();
            names_[at] = attribute.name();
        }
        return nullptr;
    }

    bool Declared(std::string_view prefix) const
    {
        if (prefix.empty() || prefix == "xml")
            return true;
        const auto found = inScope_.find(prefix);
        return found != inScope_.end() && found->second > 0;
    }

    std::vector<std::pair<int, std::string_view>> declared_;
    std::unordered_map<std::string_view, int> inScope_;
    std::vector<const char *> names_;   // the table of Repeated(); null is free
};

// A name from the document for a message.
QString Quoted(std::string_view name)
{
    return QuotedForMessage(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

// A tree check's refusal of `node`, with the node's place when the parser
// can tell it.
WellFormedness TreeRefusal(const QString &reply, const pugi::xml_node &node, const char *rule, const QString &what)
{
    std::ptrdiff_t offset = node.offset_debug();
    // An element's offset is that of its name, just after its "<".
    if (offset > 0 && node.type() == pugi::node_element)
        --offset;
    const QString place = offset < 0 ? QString() : QStringLiteral(" (%1)").arg(PlaceInReply(reply, IndexOfUtf8Offset(reply, offset)));
    return {QString::fromLatin1(rule), what + place};
}

} // namespace

WellFormedness WellFormedTree(const pugi::xml_document &document, const QString &reply)
{
    // Iterative, so that deep nesting cannot exhaust the stack.
    ElementCheck check;
    int level = 0;
    int roots = 0;
    for (pugi::xml_node node = document.first_child(); node;) {
        // Exactly one element at the top, and no text beside it.
        if (level == 0 && node.type() == pugi::node_element && ++roots > 1)
            return TreeRefusal(reply, node, "root-element", QStringLiteral("the reply holds more than one root element"));
        if (level == 0 && (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata))
            return TreeRefusal(reply, node, "text-outside-root",
                               QStringLiteral("the reply holds text outside its root element"));
        if (node.type() == pugi::node_element) {
            if (const ElementRefusal refused = check.Check(node, level); refused.rule != nullptr) {
                const QString what = std::strcmp(refused.rule, "repeated-attribute") == 0
                    ? QStringLiteral("the reply repeats the attribute %1 in one element").arg(Quoted(refused.name))
                    : QStringLiteral("the reply uses the undeclared namespace prefix %1").arg(Quoted(refused.name));
                return TreeRefusal(reply, node, refused.rule, what);
            }
            if (const pugi::xml_node child = node.first_child()) {
                node = child;
                ++level;
                continue;
            }
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --level;
        }
        if (node)
            node = node.next_sibling();
    }
    if (roots == 0)
        return {QStringLiteral("root-element"), QStringLiteral("the reply holds no root element")};
    return {};
}

namespace {

// Parsed as a fragment so that what lies outside the root element stays in
// the document, where the tree check can refuse it.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_fragment;

// The parser's refusal, at the place it names.
QString ParseReason(const QString &reply, const pugi::xml_parse_result &parsed)
{
    if (parsed.status == pugi::status_out_of_memory)
        return QStringLiteral("the reply is too large to be read: out of memory");
    return NotWellFormedReason(reply, IndexOfUtf8Offset(reply, parsed.offset));
}

} // namespace

WellFormedness LoadReply(const QString &reply, QByteArray &buffer, pugi::xml_document &document)
{
    if (WellFormedness text = WellFormedText(reply); !text)
        return text;
    // Parsed in place: the document lives in this buffer, not in a copy.
    buffer = reply.toUtf8();
    const pugi::xml_parse_result parsed = document.load_buffer_inplace(
        buffer.data(), static_cast<size_t>(buffer.size()), kParseOptions, pugi::encoding_utf8);
    if (!parsed)
        return {QStringLiteral("parse"), ParseReason(reply, parsed)};
    return WellFormedTree(document, reply);
}
