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

bool CharactersLegal(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), LegalCharacter);
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
// its characters checked on the way; -1 when it is not closed.
qsizetype SectionEnd(std::u16string_view text, qsizetype at, std::u16string_view opener,
                     std::u16string_view closer)
{
    const qsizetype from = at + static_cast<qsizetype>(opener.size());
    const qsizetype end = Find(text, closer, from);
    if (end < 0 || !CharactersLegal(text.substr(static_cast<size_t>(from), static_cast<size_t>(end - from))))
        return -1;
    return end + static_cast<qsizetype>(closer.size()) - 1;
}

bool Blank(std::u16string_view text, qsizetype from, qsizetype to)
{
    for (qsizetype i = from; i < to; ++i)
        if (text[i] != u' ' && text[i] != u'\t' && text[i] != u'\r' && text[i] != u'\n')
            return false;
    return true;
}

// The end of a comment starting at `at`: a comment holds no "--" but its end.
qsizetype CommentEnd(std::u16string_view text, qsizetype at)
{
    const qsizetype dashes = Find(text, u"--", at + 4);
    return dashes >= 0 && StartsAt(text, dashes, u"-->") ? SectionEnd(text, at, u"<!--", u"-->") : -1;
}

// The end (">") of a document type declaration starting at `at`, stepping
// over its internal subset, quoted literals, and the comments and processing
// instructions the subset may hold (an apostrophe in a comment is no quote).
qsizetype DoctypeEnd(std::u16string_view text, qsizetype at)
{
    const qsizetype n = static_cast<qsizetype>(text.size());
    int brackets = 0;
    for (qsizetype i = at + 2; i < n; ++i) {
        const char16_t c = text[i];
        if (brackets > 0 && StartsAt(text, i, u"<!--")) {
            i = CommentEnd(text, i);
        } else if (brackets > 0 && StartsAt(text, i, u"<?")) {
            i = SectionEnd(text, i, u"<?", u"?>");
        } else if (c == u'"' || c == u'\'') {
            i = Find(text, std::u16string_view(&text[i], 1), i + 1);
        } else if (c == u'[') {
            ++brackets;
        } else if (c == u']') {
            --brackets;
        } else if (c == u'>' && brackets <= 0) {
            return CharactersLegal(text.substr(static_cast<size_t>(at), static_cast<size_t>(i - at))) ? i : -1;
        }
        if (i < 0)
            return -1;
    }
    return -1;
}

// The end (">") of a start or end tag starting at `at`. Attribute values may
// hold ">" but not "<", and their "&" must start a reference. Each attribute
// value counts one to `items`.
qsizetype TagEnd(std::u16string_view text, qsizetype at, qsizetype &items)
{
    const qsizetype n = static_cast<qsizetype>(text.size());
    char16_t quote = 0;
    for (qsizetype i = at + 1; i < n; ++i) {
        const char16_t c = text[i];
        if (!LegalCharacter(c))
            return -1;
        if (quote != 0) {
            if (c == quote)
                quote = 0;
            else if (c == u'<')
                return -1;
            else if (c == u'&' && (i = ReferenceEnd(text, i)) < 0)
                return -1;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            ++items;
        } else if (c == u'>') {
            return i;
        } else if (c == u'<' || c == u'&') {
            return -1;
        }
    }
    return -1;
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

} // namespace

bool WellFormedText(const QString &reply)
{
    const std::u16string_view text(reinterpret_cast<const char16_t *>(reply.constData()),
                                   static_cast<size_t>(reply.size()));
    const qsizetype n = static_cast<qsizetype>(text.size());
    int depth = 0;
    qsizetype nodes = 0;
    qsizetype outside = 0;   // where the text outside every element began
    for (qsizetype i = NextStop(text, 0); i < n; i = NextStop(text, i + 1)) {
        const char16_t c = text[i];
        // Outside the root only white space may stand between markup (the
        // parser drops text at the very end of the reply unseen).
        if (c == u'<' && depth == 0 && !Blank(text, outside, i))
            return false;
        if (c == u'&') {
            i = ReferenceEnd(text, i);
        } else if (c == u']') {
            if (StartsAt(text, i, u"]]>"))
                return false;
        } else if (c != u'<') {
            if (!LegalCharacter(c))
                return false;
        } else if (!StartsAt(text, i, u"</") && ++nodes > kMaxReplyNodes) {
            return false;
        } else if (StartsAt(text, i, u"<!--")) {
            i = CommentEnd(text, i);
        } else if (StartsAt(text, i, u"<![CDATA[")) {
            i = SectionEnd(text, i, u"<![CDATA[", u"]]>");
        } else if (StartsAt(text, i, u"<?")) {
            // The declaration (target "xml" in any case) may stand only at
            // the very start.
            const std::u16string_view target = text.substr(static_cast<size_t>(i) + 2, 4);
            const bool declaration = target.size() == 4 && (target[0] | 0x20) == u'x'
                && (target[1] | 0x20) == u'm' && (target[2] | 0x20) == u'l'
                && (target[3] == u'?' || target[3] == u' ' || target[3] == u'\t' || target[3] == u'\r'
                    || target[3] == u'\n');
            if (declaration && i != 0)
                return false;
            i = SectionEnd(text, i, u"<?", u"?>");
        } else if (StartsAt(text, i, u"<!")) {
            i = DoctypeEnd(text, i);
        } else {
            const bool endTag = StartsAt(text, i, u"</");
            i = TagEnd(text, i, nodes);
            if (i < 0 || nodes > kMaxReplyNodes)
                return false;
            if (endTag)
                --depth;
            else if (text[i - 1] != u'/' && ++depth > kMaxReplyNesting)
                return false;
        }
        if (i < 0)
            return false;
        if (c == u'<' && depth == 0)
            outside = i + 1;
    }
    return depth > 0 || Blank(text, outside, n);
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

// The elements' checks, given in document order with their nesting level; it
// keeps the namespace prefixes that are in scope.
class ElementCheck {
public:
    bool Passes(const pugi::xml_node &element, int level)
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
        if (!Declared(PrefixOf(element.name())))
            return false;
        for (const pugi::xml_attribute &attribute : element.attributes()) {
            const std::string_view prefix = PrefixOf(attribute.name());
            if (prefix != "xmlns" && !Declared(prefix))
                return false;
        }
        return !Repeats(element, count);
    }

private:
    // Elements have a handful of attributes, compared pairwise; many are
    // looked up in a table of their names, so a million of them cost a
    // million steps.
    bool Repeats(const pugi::xml_node &element, size_t count)
    {
        if (count <= 8) {
            for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute())
                for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute())
                    if (Same(a.name(), b.name()))
                        return true;
            return false;
        }
        size_t size = 16;
        while (size < count + count / 3)
            size *= 2;
        names_.assign(size, nullptr);
        for (const pugi::xml_attribute &attribute : element.attributes()) {
            size_t at = NameHash(attribute.name()) & (size - 1);
            for (; names_[at] != nullptr; at = (at + 1) & (size - 1))
                if (Same(names_[at], attribute.name()))
                    return true;
            names_[at] = attribute.name();
        }
        return false;
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
    std::vector<const char *> names_;   // the table of Repeats(); null is free
};

} // namespace

bool WellFormedTree(const pugi::xml_document &document)
{
    // Iterative, so that deep nesting cannot exhaust the stack.
    ElementCheck check;
    int level = 0;
    int roots = 0;
    for (pugi::xml_node node = document.first_child(); node;) {
        // Exactly one element at the top, and no text beside it.
        if (level == 0 && node.type() == pugi::node_element)
            ++roots;
        else if (level == 0 && (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata))
            return false;
        if (node.type() == pugi::node_element) {
            if (!check.Passes(node, level))
                return false;
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
    return roots == 1;
}
