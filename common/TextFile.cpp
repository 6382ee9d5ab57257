#include "TextFile.h"

#include "RuntimeError.h"
#include "Text.h"

#include <QFile>
#include <QFileInfo>

QStringList SplitFileLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

TextFileReader::TextFileReader(const QString &path) : path_(path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw RuntimeError(QStringLiteral("File not found: %1").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(
            QStringLiteral("Cannot open file: %1 (%2)").arg(path, file.errorString()));
    lines_ = SplitFileLines(FromCp1252(file.readAll()));
}

QString TextFileReader::ReadLine()
{
    if (AtEnd())
        throw RuntimeError(QStringLiteral("Input past end of file: %1").arg(path_));
    return lines_.at(next_++);
}

void WriteTextFile(const QString &path, const QString &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw RuntimeError(
            QStringLiteral("Cannot create file: %1 (%2)").arg(path, file.errorString()));
    const QByteArray bytes = ToCp1252(content);
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw RuntimeError(
            QStringLiteral("Cannot write file: %1 (%2)").arg(path, file.errorString()));
}
