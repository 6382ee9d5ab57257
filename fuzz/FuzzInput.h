#pragma once

// Shared by the fuzz targets: how raw input bytes become the program's text,
// and the locales the text stages are run under.

#include "common/Text.h"

#include <QLocale>
#include <QString>

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

// A broken promise of the code under test: report it and abort so that the
// fuzzer keeps the input.
[[noreturn]] inline void Fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

} // namespace fuzzinput
