// The sun/moon reply scan, the composition of its texts and the moon
// picture number.
#include "FuzzInput.h"

#include "almanac/Almanac.h"
#include "common/RuntimeError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = fuzzinput::Text(data, size);
    AlmanacTexts texts;
    try {
        texts = ScanAlmanacReply(reply, fuzzinput::Locale(static_cast<int>(size)));
    } catch (const RuntimeError &) {
        return 0; // an unreadable time: the window keeps what it had
    }
    const AlmanacComposition composition = ComposeAlmanac(texts);
    if (composition.text.count(QStringLiteral("\r\n")) < 5 || !composition.text.endsWith(QStringLiteral(" visible\r\n")))
        fuzzinput::Fail("almanac text lines", composition.text);
    if (!composition.title.startsWith(QStringLiteral(" Moon ")))
        fuzzinput::Fail("almanac title", composition.title);
    try {
        const int image = MoonImageNumber(texts.illuminationText, texts.phaseWord);
        if (image < 1 || image > 8)
            fuzzinput::Fail("moon picture number", QString::number(image));
    } catch (const RuntimeError &) {
        // An illumination beyond 16 bits: the picture stays as it was.
    }
    return 0;
}
