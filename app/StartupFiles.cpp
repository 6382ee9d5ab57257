#include "StartupFiles.h"

#include "common/RuntimeError.h"
#include "common/Text.h"
#include "common/TextFile.h"

namespace {

[[noreturn]] void MissingField(int number, const char *what, const QString &path)
{
    throw RuntimeError(QStringLiteral("Field %1 (%2) is missing in the first line of %3")
                           .arg(number)
                           .arg(QString::fromLatin1(what), path));
}

} // namespace

void ApplySettingsLine(const QString &line, const QString &path, FormState &state,
                       bool &autoUpdate)
{
    const QStringList fields = SplitText(line, QStringLiteral(","));
    if (fields.size() < 1)
        MissingField(1, "latitude", path);
    state.Latitude = fields.at(0);
    if (fields.size() < 2)
        MissingField(2, "longitude", path);
    state.Longitude = fields.at(1);
    if (fields.size() < 3)
        MissingField(3, "sun/moon query term", path);
    state.QueryExtra = TrimSpaces(fields.at(2));
    if (fields.size() >= 4 && fields.at(3).toLower().contains(QStringLiteral("false")))
        autoUpdate = false;
}

void ReadSettingsFile(const QString &path, FormState &state, bool &autoUpdate)
{
    ApplySettingsLine(ReadFirstLine(path, kMaxSettingsLine), path, state, autoUpdate);
}

void LookupNextFullMoon(const QString &path, DateValue cutoff, FormState &state)
{
    TextFileReader reader(path, kMaxFullMoonTable);
    reader.ReadLine(); // the header says what the table is; no reader uses it
    int lineNumber = 1;
    while (!reader.AtEnd()) {
        const QString line = reader.ReadLine();
        ++lineNumber;
        try {
            state.NextFullMoon = ParseDateText(line);
        } catch (const RuntimeError &error) {
            throw RuntimeError(QStringLiteral("%1 in line %2 of %3")
                                   .arg(error.description())
                                   .arg(lineNumber)
                                   .arg(path));
        }
        if (state.NextFullMoon > cutoff)
            break;
    }
}
