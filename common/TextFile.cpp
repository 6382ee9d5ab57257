#include "TextFile.h"

#include "RuntimeError.h"
#include "CodePage.h"
#include "FileDescriptor.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString SystemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// "64 KiB", "4 MiB": limits as a user reads them.
QString SizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

PathKind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return PathKind::File;
    if (S_ISDIR(mode))
        return PathKind::Directory;
    if (S_ISFIFO(mode))
        return PathKind::Fifo;
    if (S_ISSOCK(mode))
        return PathKind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return PathKind::Device;
    return PathKind::Other;
}

// Opens a regular file for reading. Non-blocking, so a named pipe in the
// file's place is noticed at once instead of waiting for a writer.
int OpenRegularFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    PathKind kind = PathKind::File;
    if (fd >= 0) {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && (kind = KindOfMode(info.st_mode)) == PathKind::File)
            return fd;
        ::close(fd);
    } else {
        const int error = errno;
        kind = InspectPath(path);
        if (kind == PathKind::Missing)
            throw RuntimeError(QStringLiteral("File not found: %1").arg(path));
        if (kind == PathKind::File)
            throw RuntimeError(QStringLiteral("Cannot open file: %1 (%2)").arg(path, SystemReason(error)));
    }
    throw RuntimeError(QStringLiteral("Cannot read %1: it %2, not a text file").arg(path, PathKindText(kind)));
}

// Reads up to `limit` bytes, fewer at the end of the file.
QByteArray ReadUpTo(int fd, qint64 limit, const QString &path)
{
    QByteArray bytes;
    if (const int error = ::ReadUpTo(fd, limit, bytes))
        throw RuntimeError(QStringLiteral("Cannot read file: %1 (%2)").arg(path, SystemReason(error)));
    return bytes;
}

// Where the line that starts at `from` ends (its length) and where the next
// one starts.
qsizetype LineEnd(const QString &text, qsizetype from, qsizetype *next)
{
    const qsizetype n = text.size();
    qsizetype i = from;
    while (i < n && text.at(i) != u'\r' && text.at(i) != u'\n')
        ++i;
    *next = i + 1;
    if (i < n && text.at(i) == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
        ++*next;
    return i;
}

} // namespace

PathKind InspectPath(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0)
        return KindOfMode(info.st_mode);
    if (errno == ELOOP)
        return PathKind::DanglingLink;
    if (errno != ENOENT && errno != ENOTDIR)
        return PathKind::Other;
    return ::lstat(name.constData(), &info) == 0 ? PathKind::DanglingLink : PathKind::Missing;
}

QString PathKindText(PathKind kind)
{
    switch (kind) {
    case PathKind::Missing:
    case PathKind::File:
        return QString();
    case PathKind::Directory:
        return QStringLiteral("is a directory");
    case PathKind::Fifo:
        return QStringLiteral("is a named pipe (FIFO)");
    case PathKind::Socket:
        return QStringLiteral("is a socket");
    case PathKind::Device:
        return QStringLiteral("is a device");
    case PathKind::DanglingLink:
        return QStringLiteral("is a symbolic link that leads to no file");
    case PathKind::Other:
        break;
    }
    return QStringLiteral("is not a regular file");
}

TextFileReader::TextFileReader(const QString &path, qint64 maxBytes) : path_(path)
{
    const Descriptor fd(OpenRegularFile(path));
    const QByteArray bytes = ReadUpTo(fd.get(), maxBytes + 1, path);
    if (bytes.size() > maxBytes)
        throw RuntimeError(QStringLiteral("File too large: %1 holds more than %2").arg(path, SizeText(maxBytes)));
    text_ = FromCp1252(bytes);
}

QString TextFileReader::ReadLine()
{
    if (AtEnd())
        throw RuntimeError(QStringLiteral("Input past end of file: %1").arg(path_));
    qsizetype next = 0;
    const qsizetype end = LineEnd(text_, next_, &next);
    const QString line = text_.mid(next_, end - next_);
    next_ = next;
    return line;
}

QString ReadFirstLine(const QString &path, qsizetype maxChars)
{
    const Descriptor fd(OpenRegularFile(path));
    // One byte per character: the line and its end fit in maxChars + 1 bytes.
    const QByteArray bytes = ReadUpTo(fd.get(), maxChars + 1, path);
    if (bytes.isEmpty())
        throw RuntimeError(QStringLiteral("Input past end of file: %1").arg(path));
    qsizetype end = 0;
    while (end < bytes.size() && bytes.at(end) != '\r' && bytes.at(end) != '\n')
        ++end;
    if (end > maxChars)
        throw RuntimeError(QStringLiteral("Line too long: the first line of %1 is longer than %2 characters")
                               .arg(path)
                               .arg(maxChars));
    return FromCp1252(bytes.constData(), end);
}

QStringList SplitFileLines(const QString &text)
{
    QStringList lines;
    for (qsizetype at = 0, next = 0; at < text.size(); at = next) {
        const qsizetype end = LineEnd(text, at, &next);
        lines.append(text.mid(at, end - at));
    }
    return lines;
}

void CreateTextFile(const QString &path, const QString &content)
{
    const QByteArray name = QFile::encodeName(path);
    const Descriptor fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        const int error = errno;
        throw RuntimeError(QStringLiteral("Cannot create file: %1 (%2)").arg(path, SystemReason(error)));
    }
    if (const int error = WriteAll(fd.get(), ToCp1252(content))) {
        // Half a settings file would be read as a broken one: take it away.
        ::unlink(name.constData());
        throw RuntimeError(QStringLiteral("Cannot write file: %1 (%2)").arg(path, SystemReason(error)));
    }
}
