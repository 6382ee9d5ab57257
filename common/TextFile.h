#pragma once

#include <QString>
#include <QStringList>

// 8-bit text files in the Windows-1252 code page, read a line at a time.
// A line ends at a carriage return, a carriage return and line feed, or a
// lone line feed. A final line end does not start another (empty) line.
//
// Only regular files are read or written: the program's two files sit in a
// folder the user controls, and a named pipe, a device or a folder in their
// place must give a message, never a wait or a write somewhere else.

// What stands at a path, links followed.
enum class PathKind { Missing, File, Directory, Fifo, Socket, Device, DanglingLink, Other };
PathKind InspectPath(const QString &path);
// "is a directory", "is a named pipe (FIFO)", ...; empty for Missing and File.
QString PathKindText(PathKind kind);

class TextFileReader {
public:
    // Reads the whole file, which may hold at most `maxBytes`; a missing
    // file, one that is not a regular file, one that cannot be read or one
    // that is larger raises the run-time error naming the path.
    TextFileReader(const QString &path, qint64 maxBytes);

    bool AtEnd() const { return next_ >= text_.size(); }
    // The next line; past the end is the run-time error naming the path.
    QString ReadLine();

private:
    QString path_;
    QString text_;
    qsizetype next_ = 0;
};

// The file's first line, reading no further than its end: a line longer than
// `maxChars` raises the run-time error naming the path, as do the failures
// of TextFileReader and an empty file.
QString ReadFirstLine(const QString &path, qsizetype maxChars);

// Splits file text into lines by the rule above.
QStringList SplitFileLines(const QString &text);

// Creates the file with `content` in the code page, but only where nothing
// at all stands at `path`: no link is followed and nothing is replaced. A
// failure raises the run-time error naming the path and the system's reason.
void CreateTextFile(const QString &path, const QString &content);
