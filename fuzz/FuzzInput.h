#pragma once

// Shared by the fuzz targets: how raw input bytes become the program's text,
// and the locales the text stages are run under.

#include "common/CodePage.h"

#include <QFile>
#include <QLocale>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzzinput {

// Downloads and the two text files both reach the program as Windows-1252
// text, one character per byte; the fuzzer's bytes take the same way.
inline QString Text(const uint8_t *data, size_t size)
{
    return FromCp1252(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// The locales every text stage must cope with: the US English the services
// write in, one with day-first dates and decimal commas, and the plain C locale.
inline const QLocale &Locale(int index)
{
    static const QLocale locales[3] = {
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale::c(),
    };
    return locales[index % 3];
}

[[noreturn]] void Fail(const char *what, const QString &detail = QString());

// The input as the file `name` in a folder of the target's own, as the
// program finds its files beside it; returns the file's path.
inline QString WriteFile(const QString &name, const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.path() + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
        Fail("cannot write the input file", path);
    return path;
}

// A broken promise of the code under test: report it and abort so that the
// fuzzer keeps the input.
[[noreturn]] inline void Fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

} // namespace fuzzinput
