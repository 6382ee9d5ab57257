// fullmoon_table: writes the full-moon table that ships beside the program.
//
//   fullmoon_table [--zone IANA-ZONE] [--from YEAR] [--to YEAR] [OUTPUT-FILE]
//
// Without an output file the table goes to standard output.

#include "tools/MoonPhase.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <cstdio>

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

const char *const kUsage =
    "usage: fullmoon_table [--zone IANA-ZONE] [--from YEAR] [--to YEAR] [OUTPUT-FILE]\n"
    "  Writes the full moons of the years FROM through TO (default 2024 through 2050)\n"
    "  as local times in ZONE (default America/Los_Angeles), one per line as\n"
    "  yyyy-mm-dd hh:mm after a header line, to OUTPUT-FILE or standard output.\n";

int Fail(int code, const QString &message)
{
    std::fprintf(stderr, "fullmoon_table: %s\n", message.toLocal8Bit().constData());
    if (code == kExitUsage)
        std::fputs(kUsage, stderr);
    return code;
}

bool ParseYear(const QString &text, int *year)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < moonphase::kFirstYear || value > moonphase::kLastYear)
        return false;
    *year = value;
    return true;
}

} // namespace

// Writes the table to `outputPath`, or to standard output for "" or "-".
int WriteTable(const QByteArray &table, const QString &outputPath)
{
    if (outputPath.isEmpty() || outputPath == QLatin1String("-")) {
        if (std::fwrite(table.constData(), 1, table.size(), stdout) != size_t(table.size())
            || std::fflush(stdout) != 0)
            return Fail(kExitFailure, QStringLiteral("cannot write to standard output"));
        return 0;
    }

    // Written through a temporary file, so a failed run never leaves half a table.
    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(kExitFailure, QStringLiteral("cannot create %1 (%2)").arg(outputPath, file.errorString()));
    if (file.write(table) != table.size() || !file.commit())
        return Fail(kExitFailure, QStringLiteral("cannot write %1 (%2)").arg(outputPath, file.errorString()));
    return 0;
}

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    QByteArray zoneId = "America/Los_Angeles";
    int fromYear = 2024;
    int toYear = 2050;
    QString outputPath;

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        const bool takesValue = arg == QLatin1String("--zone") || arg == QLatin1String("--from")
            || arg == QLatin1String("--to");
        if (takesValue) {
            if (i + 1 >= args.size())
                return Fail(kExitUsage, QStringLiteral("%1 needs a value").arg(arg));
            const QString value = args.at(++i);
            if (arg == QLatin1String("--zone")) {
                zoneId = value.toUtf8();
            } else if (!ParseYear(value, arg == QLatin1String("--from") ? &fromYear : &toYear)) {
                return Fail(kExitUsage, QStringLiteral("%1 must be a year from %2 through %3, not \"%4\"")
                                            .arg(arg)
                                            .arg(moonphase::kFirstYear)
                                            .arg(moonphase::kLastYear)
                                            .arg(value));
            }
        } else if (arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            return Fail(kExitUsage, QStringLiteral("unknown option \"%1\"").arg(arg));
        } else if (outputPath.isEmpty()) {
            outputPath = arg;
        } else {
            return Fail(kExitUsage, QStringLiteral("more than one output file (\"%1\", \"%2\")")
                                        .arg(outputPath, arg));
        }
    }

    if (fromYear > toYear)
        return Fail(kExitUsage, QStringLiteral("--from %1 is after --to %2").arg(fromYear).arg(toYear));
    const QTimeZone zone(zoneId);
    if (!zone.isValid())
        return Fail(kExitUsage, QStringLiteral("unknown time zone \"%1\"").arg(QString::fromUtf8(zoneId)));

    // The table is plain ASCII, so its bytes are the same in any 8-bit code page.
    const QByteArray table = moonphase::FullMoonTableText(zone, fromYear, toYear).toLatin1();

    return WriteTable(table, outputPath);
}
