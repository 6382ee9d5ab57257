// The text helpers, leading numbers and rounding, 16-bit checked numbers and
// the Windows-1252 code page.
#include "common/RuntimeError.h"
#include "common/Checked16.h"
#include "common/CodePage.h"
#include "common/Text.h"

#include <QtTest>

#include <clocale>
#include <cmath>
#include <limits>

class TextTest : public QObject {
    Q_OBJECT

private slots:
    void search();
    void search16Overflow();
    void split();
    void trimSpaces();
    void safeText_data();
    void safeText();
    void leadingNumber_data();
    void leadingNumber();
    void leadingNumberIgnoresUserLocale();
    void roundHalfEven_data();
    void roundHalfEven();
    void roundHalfEvenOverflow();
    void checkedInt16();
    void fieldAt();
    void cp1252RoundTrip();
    void cp1252Unmappable();
};

void TextTest::search()
{
    const QString text = QStringLiteral("Daily Maximum|Daily Minimum|daily");
    QCOMPARE(InStr(text, QStringLiteral("Daily")), 1);
    QCOMPARE(InStr(text, QStringLiteral("Daily"), 2), 15);
    QCOMPARE(InStr(text, QStringLiteral("Daily"), 15), 15);
    QCOMPARE(InStr(text, QStringLiteral("daily")), 29);
    QCOMPARE(InStr(text, QStringLiteral("DAILY")), 0);
    QCOMPARE(InStr(text, QStringLiteral("Daily"), 16), 0);
    QCOMPARE(InStr(text, QStringLiteral("#")), 0);
    QCOMPARE(InStr(text, QStringLiteral("Daily"), 0), 1);
    QCOMPARE(InStr(text, QStringLiteral("Daily"), 1000), 0);
    QCOMPARE(InStr(QString(), QStringLiteral("a")), 0);
    QVERIFY(Contains(text, QStringLiteral("Minimum|d")));
    QVERIFY(!Contains(text, QStringLiteral("minimum")));
    QCOMPARE(InStr16(text, QStringLiteral("|")), int16_t(14));
    QCOMPARE(InStr16(text, QStringLiteral("?")), int16_t(0));
}

void TextTest::search16Overflow()
{
    QString text(32766, QLatin1Char('.'));
    text += QStringLiteral("ab");
    // "a" sits at 32,767, the last position a 16-bit counter can hold.
    QCOMPARE(InStr16(text, QStringLiteral("a")), int16_t(32767));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, InStr16(text, QStringLiteral("b")));
    try {
        InStr16(text, QStringLiteral("b"));
    } catch (const RuntimeError &error) {
        QVERIFY2(error.description().startsWith(QStringLiteral("Overflow")),
                 qPrintable(error.description()));
    }
    // The plain search has no such limit, and an absent text is no overflow.
    QCOMPARE(InStr(text, QStringLiteral("b")), 32768);
    QCOMPARE(InStr16(text + QString(70000, QLatin1Char('.')), QStringLiteral("z")), int16_t(0));
}

void TextTest::split()
{
    QCOMPARE(SplitText(QString(), QStringLiteral("|")), QStringList());
    QCOMPARE(SplitText(QStringLiteral(",,"), QStringLiteral(",")),
             QStringList({QString(), QString(), QString()}));
    QCOMPARE(SplitText(QStringLiteral("35.9,-114.8,tz=-8"), QStringLiteral(",")),
             QStringList({"35.9", "-114.8", "tz=-8"}));
    QCOMPARE(SplitText(QStringLiteral("a|b|"), QStringLiteral("|")), QStringList({"a", "b", ""}));
    QCOMPARE(SplitText(QStringLiteral("no separator"), QStringLiteral("|")),
             QStringList({"no separator"}));
    QCOMPARE(SplitText(QStringLiteral("aXbxc"), QStringLiteral("x")), QStringList({"aXb", "c"}));
    QCOMPARE(SplitText(QStringLiteral("a<>b<>"), QStringLiteral("<>")),
             QStringList({"a", "b", ""}));
    // No separator to split at: the text stays whole.
    QCOMPARE(SplitText(QStringLiteral("abc"), QString()), QStringList({"abc"}));
}

void TextTest::trimSpaces()
{
    QCOMPARE(TrimSpaces(QStringLiteral("  tz=-8  ")), QStringLiteral("tz=-8"));
    QCOMPARE(TrimSpaces(QStringLiteral("\t a b \t")), QStringLiteral("\t a b \t"));
    QCOMPARE(TrimSpaces(QStringLiteral(" \r\nx\n ")), QStringLiteral("\r\nx\n"));
    QCOMPARE(TrimSpaces(QStringLiteral("     ")), QString());
    QCOMPARE(TrimSpaces(QString()), QString());
    QCOMPARE(TrimSpaces(QStringLiteral("a  b")), QStringLiteral("a  b"));
    // A no-break space is not a space here.
    QCOMPARE(TrimSpaces(QStringLiteral("\u00A0x ")), QStringLiteral("\u00A0x"));
}

void TextTest::safeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("most");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("lines");   // SafeLines, which keeps the line breaks, in place of SafeText
    const QString moon = QStringLiteral("\U0001F315"); // two UTF-16 units
    QTest::newRow("plain") << "Heat Advisory" << 120 << "Heat Advisory" << false;
    QTest::newRow("exactly the bound") << "abcd" << 4 << "abcd" << false;
    QTest::newRow("cut at the bound") << "abcdef" << 4 << "abcd" << false;
    QTest::newRow("no bound, nothing") << "abc" << 0 << "" << false;
    QTest::newRow("pair within the bound") << "ab" + moon + "c" << 4 << "ab" + moon << false;
    QTest::newRow("pair at the cut left out whole") << "ab" + moon + "c" << 3 << "ab" << false;
    QTest::newRow("no space left at the cut") << "Heat Advisory" << 5 << "Heat" << false;
    QTest::newRow("runs collapsed before the cut") << "a    b    c" << 3 << "a b" << false;
    QTest::newRow("tabs and line breaks, ends trimmed")
        << " \t a\r\n\n b\u2028c\u0085d \t" << 120 << "a b c d" << false;
    QTest::newRow("C0 and C1 controls") << QStringLiteral("a\u0001b\u007Fc\u009Bd\u001B[1m") << 120 << "abcd[1m" << false;
    QTest::newRow("bidi embeddings, overrides and isolates")
        << "a\u202Ab\u202Ec\u2066d\u2069e\u200Ff" << 120 << "abcde\u200Ff" << false;
    QTest::newRow("noncharacters") << "a\uFFFEb\uFFFF" << 120 << "ab" << false;
    QTest::newRow("lone surrogate halves")
        << QString(u'a') + QChar(0xD83C) + u'b' + QChar(0xDF15) + u'c' + QChar(0xD83C) << 120 << "abc" << false;
    QTest::newRow("nothing printable") << "\u0001\t\u202E " << 10 << "" << false;
    QTest::newRow("markup stays characters") << "<b>x</b> <img src=x>" << 120 << "<b>x</b> <img src=x>" << false;
    QTest::newRow("lines: CR LF, CR and line separators one LF each")
        << "a\r\nb\rc\u2028d\n\ne" << 120 << "a\nb\nc\nd\n\ne" << true;
    QTest::newRow("lines: spaces kept, a tab a space, ends trimmed") << " \n a  b\tc \r\n\n" << 120 << "a  b c" << true;
    QTest::newRow("lines: controls and bidi marks dropped") << "a\u0001\u202Eb\u0085c\u2066" << 120 << "abc" << true;
    QTest::newRow("lines: pair at the cut left out whole") << "ab" + moon + "c" << 3 << "ab" << true;
    QTest::newRow("lines: no line break left at the cut") << "ab\ncd" << 3 << "ab" << true;
}

void TextTest::safeText()
{
    QFETCH(QString, text);
    QFETCH(int, most);
    QFETCH(QString, expected);
    QFETCH(bool, lines);
    QCOMPARE(lines ? SafeLines(text, most) : SafeText(text, most), expected);
}

void TextTest::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("percent") << "23%" << 23.0;
    QTest::newRow("signed exponent") << "  -1.5e2x" << -150.0;
    QTest::newRow("bare e") << "1e" << 1.0;
    QTest::newRow("e sign, no digits") << "1e+x" << 1.0;
    QTest::newRow("capital E, negative exponent") << "25E-1 mph" << 2.5;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("number later") << "abc 12" << 0.0;
    QTest::newRow("fraction only") << ".5" << 0.5;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("sign and point") << "-.25in" << -0.25;
    QTest::newRow("trailing point") << "12." << 12.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("tab before") << "\t35.9656,-114.836" << 35.9656;
    QTest::newRow("space after sign stops") << "- 5" << 0.0;
    QTest::newRow("comma is no decimal point") << "3,5" << 3.0;
    QTest::newRow("hexadecimal is not read") << "0x1A" << 0.0;
    QTest::newRow("infinity is not read") << "inf" << 0.0;
}

void TextTest::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(LeadingNumber(text), expected);
}

void TextTest::leadingNumberIgnoresUserLocale()
{
    // The application runs under the user's locale; a German one writes
    // decimals with a comma, which must not change how "35.9656" reads.
    const char *previous = std::setlocale(LC_NUMERIC, nullptr);
    const QByteArray saved(previous ? previous : "C");
    bool switched = false;
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE", "fr_FR"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            switched = true;
            break;
        }
    }
    if (!switched)
        QSKIP("no locale with a decimal comma is installed");
    const double value = LeadingNumber(QStringLiteral("35.9656"));
    const double exponent = LeadingNumber(QStringLiteral("-1.5e2"));
    std::setlocale(LC_NUMERIC, saved.constData());
    QCOMPARE(value, 35.9656);
    QCOMPARE(exponent, -150.0);
}

void TextTest::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("10.5") << 10.5 << 10;
    QTest::newRow("11.5") << 11.5 << 12;
    QTest::newRow("89.5") << 89.5 << 90;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-1.5") << -1.5 << -2;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("just above a half") << 2.5000001 << 3;
    QTest::newRow("just below a half") << 2.4999999 << 2;
    QTest::newRow("32767.4") << 32767.4 << 32767;
    QTest::newRow("-32768.5 to even") << -32768.5 << -32768;
    QTest::newRow("-32767.5 to even") << -32767.5 << -32768;
    QTest::newRow("32766.5 to even") << 32766.5 << 32766;
}

void TextTest::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(int(RoundHalfEven16(value)), expected);
}

void TextTest::roundHalfEvenOverflow()
{
    for (const double value : {32767.5, 32768.0, -32768.500001, -32769.0, 1e300,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()}) {
        try {
            const int result = RoundHalfEven16(value);
            QFAIL(qPrintable(QStringLiteral("%1 became %2").arg(value).arg(result)));
        } catch (const RuntimeError &error) {
            QVERIFY2(error.description().startsWith(QStringLiteral("Overflow")),
                     qPrintable(error.description()));
        }
    }
}

void TextTest::checkedInt16()
{
    QCOMPARE(CheckedInt16(32767), int16_t(32767));
    QCOMPARE(CheckedInt16(-32768), int16_t(-32768));
    QCOMPARE(CheckedInt16(0), int16_t(0));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, CheckedInt16(-32769));
    // A value that would wrap exactly onto a small number is still an overflow.
    QVERIFY_THROWS_EXCEPTION(RuntimeError, CheckedInt16(65536 + 5));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, CheckedInt16(1LL << 40));
    try {
        CheckedInt16(32768, "row counter");
        QFAIL("no overflow");
    } catch (const RuntimeError &error) {
        QVERIFY2(error.description().startsWith(QStringLiteral("Overflow")),
                 qPrintable(error.description()));
        QVERIFY2(error.description().contains(QStringLiteral("row counter")),
                 qPrintable(error.description()));
        QCOMPARE(QString::fromUtf8(error.what()), error.description());
    }
}

void TextTest::fieldAt()
{
    const QStringList fields = SplitText(QStringLiteral("a|b|"), QStringLiteral("|"));
    QCOMPARE(FieldAt(fields, 0), QStringLiteral("a"));
    QCOMPARE(FieldAt(fields, 2), QString());
    for (const qsizetype index : {qsizetype(3), qsizetype(-1), qsizetype(1) << 33}) {
        try {
            FieldAt(fields, index, "forecast field");
            QFAIL("no error");
        } catch (const RuntimeError &error) {
            QVERIFY2(error.description().startsWith(QStringLiteral("Subscript out of range")),
                     qPrintable(error.description()));
            QVERIFY(error.description().contains(QStringLiteral("forecast field")));
        }
    }
    QVERIFY_THROWS_EXCEPTION(RuntimeError, FieldAt(QStringList(), 0));
}

void TextTest::cp1252RoundTrip()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = FromCp1252(all);
    QCOMPARE(text.size(), 256);
    for (int b = 0; b < 256; ++b) {
        if (b < 0x80 || b >= 0xA0)
            QCOMPARE(text.at(b).unicode(), char16_t(b));
    }
    QCOMPARE(text.at(0x80).unicode(), u'\u20AC');
    QCOMPARE(text.at(0x92).unicode(), u'\u2019');
    QCOMPARE(text.at(0x9F).unicode(), u'\u0178');
    QCOMPARE(text.at(0xB0).unicode(), kDegreeSign);
    // The five unassigned bytes keep their own value.
    for (const int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        QCOMPARE(text.at(b).unicode(), char16_t(b));
    QCOMPARE(ToCp1252(text), all);
    QCOMPARE(FromCp1252(all.constData(), all.size()), text);

    // A UTF-8 degree sign read through the code page is two characters.
    const QString utf8Degree = FromCp1252(QByteArray("\xC2\xB0"));
    QCOMPARE(utf8Degree, QStringLiteral("\u00C2\u00B0"));
    QCOMPARE(FromCp1252(QByteArray()), QString());
}

void TextTest::cp1252Unmappable()
{
    QCOMPARE(ToCp1252(QStringLiteral("\u20AC5 \u00B0F")), QByteArray("\x80" "5 \xB0" "F"));
    QCOMPARE(ToCp1252(QStringLiteral("a\u0100b")), QByteArray("a?b"));
    QCOMPARE(ToCp1252(QStringLiteral("\u2603")), QByteArray("?"));
    // The C1 control U+0080 is not in the code page (0x80 is the euro sign).
    QCOMPARE(ToCp1252(QStringLiteral("\u0080")), QByteArray("?"));
    QCOMPARE(ToCp1252(QStringLiteral("\u0081")), QByteArray("\x81"));
    // A character outside the basic plane is one character, one "?".
    QCOMPARE(ToCp1252(QStringLiteral("x\U0001F315y")), QByteArray("x?y"));
    // A lone surrogate half is one unmappable character.
    QCOMPARE(ToCp1252(QString(QChar(0xD83C))), QByteArray("?"));
}

QTEST_GUILESS_MAIN(TextTest)
#include "tst_text.moc"
