#pragma once

#include <QString>
#include <QStringList>

// 8-bit text files in the Windows-1252 code page, read a line at a time.
// A line ends at a carriage return, a carriage return and line feed, or a
// lone line feed. A final line end does not start another (empty) line.
class TextFileReader {
public:
    // Reads the whole file; a missing file or one that cannot be read raises
    // the run-time error naming the path.
    explicit TextFileReader(const QString &path);

    bool AtEnd() const { return next_ >= lines_.size(); }
    // The next line; past the end is the run-time error naming the path.
    QString ReadLine();

private:
    QString path_;
    QStringList lines_;
    qsizetype next_ = 0;
};

// Splits file text into lines by the rule above.
QStringList SplitFileLines(const QString &text);

// Creates (or replaces) the file with `content` in the code page; a failure
// raises the run-time error naming the path and the system's reason.
void WriteTextFile(const QString &path, const QString &content);
