#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252 is the program's single-byte code page: files, downloads and
// the degree sign (character 176) all go through it.
QString FromCp1252(const char *data, qsizetype size);
QString FromCp1252(const QByteArray &bytes);
// Characters that the code page cannot hold become "?".
QByteArray ToCp1252(const QString &text);

// The degree sign, character 176 of the code page.
inline constexpr char16_t kDegreeSign = u'\u00B0';
