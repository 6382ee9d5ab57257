// The full-moon table lookup: the input is the whole table file.
#include "FuzzInput.h"

#include "startup/StartupFiles.h"
#include "common/RuntimeError.h"

namespace {

// The largest table the program reads; a larger file is refused.
constexpr size_t kLargestTable = 4 * 1024 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzinput::WriteFile(QStringLiteral("FullMoonTable.txt"), data, size);
    FormState state;
    const DateValue cutoff = MakeDate(2026, 12, 1);
    try {
        LookupNextFullMoon(path, cutoff, state);
    } catch (const RuntimeError &error) {
        if (!error.description().contains(path))
            fuzzinput::Fail("table error without the path", error.description());
        return 0;
    }
    if (size > kLargestTable)
        fuzzinput::Fail("a table above 4 MiB was read", QString::number(size));
    // What was found shows as the list's full-moon row.
    (void)FormatLongDate(state.NextFullMoon, fuzzinput::Locale(static_cast<int>(size)));
    return 0;
}
