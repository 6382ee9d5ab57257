#include "startup/StartupFiles.h"

#include "common/RuntimeError.h"
#include "common/Text.h"
#include "common/TextFile.h"

#include <QDir>

namespace {

[[noreturn]] void MissingField(int number, const char *what, const QString &path)
{
    throw RuntimeError(QStringLiteral("Field %1 (%2) is missing in the first line of %3")
                           .arg(number)
                           .arg(QString::fromLatin1(what), path));
}

} // namespace

FilePlaces ChooseFilePlaces(const QString &programDirectory, bool programDirectoryWritable,
                            const QString &userDirectory)
{
    const auto in = [](const QString &folder, const QString &name) { return folder + QLatin1Char('/') + name; };
    const auto present = [](const QString &path) { return InspectPath(path) != PathKind::Missing; };
    FilePlaces places;
    if (programDirectoryWritable) {
        places.settings = in(programDirectory, kSettingsFileName);
        places.settingsToRead = places.settings;
        places.table = in(programDirectory, kFullMoonFileName);
        return places;
    }
    QString shipped = programDirectory;
    const QString shared = QDir::cleanPath(programDirectory + QStringLiteral("/../share/selvorra"));
    if (!present(in(shipped, kFullMoonFileName)) && present(in(shared, kFullMoonFileName)))
        shipped = shared;
    places.userDirectory = userDirectory;
    places.settings = in(userDirectory, kSettingsFileName);
    places.settingsToRead = present(places.settings) ? places.settings : in(shipped, kSettingsFileName);
    const QString ownTable = in(userDirectory, kFullMoonFileName);
    places.table = present(ownTable) ? ownTable : in(shipped, kFullMoonFileName);
    return places;
}

QString NewSettingsContent(const FilePlaces &places)
{
    if (places.userDirectory.isEmpty() || places.settingsToRead == places.settings)
        return kDefaultSettingsContent;
    try {
        TextFileReader shipped(places.settingsToRead, kMaxSettingsLine);
        QStringList lines;
        while (!shipped.AtEnd())
            lines << shipped.ReadLine();
        return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    } catch (const RuntimeError &) {
        return kDefaultSettingsContent;
    }
}

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

std::optional<SettingsFileProblem> PrepareSettingsFile(const FilePlaces &places)
{
    const QString &path = places.settings;
    // Anything there that is not a file stops the command with its name.
    const PathKind kind = InspectPath(path);
    if (kind == PathKind::File)
        return std::nullopt;
    if (kind != PathKind::Missing)
        return SettingsFileProblem{QStringLiteral("The settings file cannot be edited: %1 %2.").arg(path, PathKindText(kind)),
                                   QStringLiteral("Error opening ") + kSettingsFileName};
    try {
        if (!places.userDirectory.isEmpty() && !QDir().mkpath(places.userDirectory))
            throw RuntimeError(QStringLiteral("Cannot create the folder %1").arg(places.userDirectory));
        CreateTextFile(path, NewSettingsContent(places));
    } catch (const RuntimeError &error) {
        return SettingsFileProblem{QStringLiteral("The settings file could not be created.\n%1").arg(error.description()),
                                   QStringLiteral("Error creating ") + kSettingsFileName};
    }
    return std::nullopt;
}

QString ReadConfigText(const QString &path)
{
    try {
        TextFileReader reader(path, 64 * 1024);
        QStringList lines;
        while (!reader.AtEnd())
            lines << reader.ReadLine();
        return lines.join(QLatin1Char('\n'));
    } catch (const RuntimeError &) {
        return QString();
    }
}
