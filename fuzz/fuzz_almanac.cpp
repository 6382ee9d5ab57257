// The sun/moon reply scan, the composition of its texts and the moon
// picture number.
#include "FuzzInput.h"

#include "almanac/Almanac.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = fuzzinput::Text(data, size);
    const Result<AlmanacTexts> scan = ScanAlmanacReply(reply, fuzzinput::Locale(static_cast<int>(size)));
    if (!scan) {
        if (scan.rule.isEmpty() || scan.reason.isEmpty())
            fuzzinput::Fail("a failed scan without its rule and reason");
        return 0; // an unreadable time or no markers: the window keeps what it had
    }
    const AlmanacTexts &texts = scan.value;
    const AlmanacComposition composition = ComposeAlmanac(texts);
    if (composition.text.count(QStringLiteral("\r\n")) < 5 || !composition.text.endsWith(QStringLiteral(" visible\r\n")))
        fuzzinput::Fail("almanac text lines", composition.text);
    if (!composition.title.startsWith(QStringLiteral(" Moon ")))
        fuzzinput::Fail("almanac title", composition.title);
    // An illumination beyond 16 bits fails: the picture stays as it was.
    const Result<int> image = MoonImageNumber(texts.illuminationText, texts.phaseWord);
    if (image && (image.value < 1 || image.value > 8))
        fuzzinput::Fail("moon picture number", QString::number(image.value));
    return 0;
}
