#include "CodePage.h"

namespace {

// Characters 0x80 to 0x9F of Windows-1252; 0 marks the five unassigned bytes,
// which keep their own value, so that any byte read from a file or a reply
// becomes a character and goes back to the same byte.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

QString FromCp1252(const char *data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(data[i]);
        if (byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0)
            dst[i] = kHigh[byte - 0x80];
        else
            dst[i] = byte;
    }
    return out;
}

QString FromCp1252(const QByteArray &bytes)
{
    return FromCp1252(bytes.constData(), bytes.size());
}

QByteArray ToCp1252(const QString &text)
{
    // One byte a character at most: written in place, then cut to its length.
    QByteArray out(text.size(), Qt::Uninitialized);
    char *dst = out.data();
    const char16_t *src = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype size = text.size();
    qsizetype n = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = src[i];
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            dst[n++] = static_cast<char>(c);
            continue;
        }
        // A character outside the basic plane is one character: one "?".
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(src[i + 1])) {
            dst[n++] = '?';
            ++i;
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k) {
            if (kHigh[k] == c || (kHigh[k] == 0 && c == 0x80 + k)) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        dst[n++] = mapped;
    }
    out.truncate(n);
    return out;
}
