#include "cache/ReplyCache.h"

#include "common/FileDescriptor.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMagic[] = "selvorra-cache 1";

// A name that stays inside the folder: no separator, not "." or "..".
bool PlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0))
        && name != QLatin1String(".") && name != QLatin1String("..");
}

// Makes `folder` and whatever is missing above it, each private to the user.
void MakeFolders(const QByteArray &folder)
{
    for (qsizetype slash = folder.indexOf('/', 1); ; slash = folder.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? folder : folder.left(slash);
        if (!part.isEmpty() && !part.endsWith('/'))
            ::mkdir(part.constData(), 0700);   // an existing one is fine; a failure shows below
        if (slash < 0)
            return;
    }
}

// The folder itself, opened without following a link at its place; -1 when
// it is missing, a link or no folder.
int OpenFolder(const QByteArray &folder)
{
    return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The text of `bytes` when they are well-formed UTF-8 (a byte order mark
// at the start kept as a character); nothing otherwise.
std::optional<QString> DecodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Reads the file's parts in order; any part not where it should be makes
// the whole file void.
class Reader {
public:
    explicit Reader(const QByteArray &data) : data_(data) {}

    // The next line without its "\n"; nothing when no "\n" follows.
    std::optional<QByteArrayView> line()
    {
        const qsizetype end = data_.indexOf('\n', pos_);
        if (end < 0)
            return std::nullopt;
        const QByteArrayView out(data_.constData() + pos_, end - pos_);
        pos_ = end + 1;
        return out;
    }

    // "<word> <length>": the length, digits only and no more than is left.
    std::optional<qsizetype> length(QByteArrayView word)
    {
        const auto l = line();
        if (!l || !l->startsWith(word) || l->size() <= word.size() + 1 || l->at(word.size()) != ' ')
            return std::nullopt;
        const QByteArrayView digits = l->sliced(word.size() + 1);
        qint64 n = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9' || n > data_.size())
                return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (n > data_.size() - pos_)
            return std::nullopt;
        return qsizetype(n);
    }

    QByteArrayView take(qsizetype n)
    {
        const QByteArrayView out(data_.constData() + pos_, n);
        pos_ += n;
        return out;
    }

    bool atEnd() const { return pos_ == data_.size(); }

private:
    const QByteArray &data_;
    qsizetype pos_ = 0;
};

std::optional<CachedReply> Parse(const QByteArray &data, const QString &key)
{
    Reader in(data);
    const auto magic = in.line();
    if (!magic || *magic != QByteArrayView(kMagic))
        return std::nullopt;
    const auto keyLength = in.length("key");
    if (!keyLength)
        return std::nullopt;
    const QByteArrayView storedKey = in.take(*keyLength);
    const auto afterKey = in.line();
    if (!afterKey || !afterKey->isEmpty() || storedKey != key.toUtf8())
        return std::nullopt;
    const auto fetched = in.line();
    if (!fetched || !fetched->startsWith("fetched ") || !fetched->endsWith('Z'))
        return std::nullopt;
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(fetched->sliced(8)), Qt::ISODateWithMs);
    if (!when.isValid())
        return std::nullopt;
    const auto bodyLength = in.length("body");
    if (!bodyLength)
        return std::nullopt;
    const QByteArrayView bodyBytes = in.take(*bodyLength);
    if (!in.atEnd())
        return std::nullopt;
    std::optional<QString> body = DecodeUtf8(bodyBytes);
    if (!body)
        return std::nullopt;
    return CachedReply{*std::move(body), when.toUTC()};
}

} // namespace

bool StoreCachedReply(const QString &folder, const QString &name, const QString &key,
                      const QDateTime &fetchedUtc, const QString &body, qint64 maxBytes)
{
    try {
        // Text that UTF-8 cannot carry (a lone half of a surrogate pair)
        // would come back changed: better no file than a different reply.
        if (folder.isEmpty() || !PlainName(name) || !fetchedUtc.isValid() || !key.isValidUtf16()
            || !body.isValidUtf16())
            return false;
        const QByteArray keyBytes = key.toUtf8();
        const QByteArray bodyBytes = body.toUtf8();
        QByteArray file = kMagic;
        file += "\nkey " + QByteArray::number(keyBytes.size()) + '\n' + keyBytes + '\n';
        // A time the file could not give back (a year beyond 9999) is refused here.
        const QString fetched = fetchedUtc.toUTC().toString(Qt::ISODateWithMs);
        if (QDateTime::fromString(fetched, Qt::ISODateWithMs) != fetchedUtc)
            return false;
        file += "fetched " + fetched.toLatin1() + '\n';
        file += "body " + QByteArray::number(bodyBytes.size()) + '\n';
        if (file.size() + bodyBytes.size() > maxBytes)
            return false;
        file += bodyBytes;

        const QByteArray folderPath = QFile::encodeName(folder);
        const QByteArray fileName = QFile::encodeName(name);
        Descriptor dir(OpenFolder(folderPath));
        if (dir.get() < 0 && errno == ENOENT) {
            MakeFolders(folderPath);
            dir.reset(OpenFolder(folderPath));
        }
        if (dir.get() < 0)
            return false;
        // Whatever is at the place and is not a plain file is not ours to replace.
        struct stat st;
        if (::fstatat(dir.get(), fileName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode))
            return false;

        QByteArray tempName;
        int tempFd = -1;
        for (int attempt = 0; attempt < 16 && tempFd < 0; ++attempt) {
            tempName = '.' + fileName + ".tmp-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
            tempFd = ::openat(dir.get(), tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              0600);
            if (tempFd < 0 && errno != EEXIST)
                return false;
        }
        if (tempFd < 0)
            return false;
        Descriptor temp(tempFd);
        const bool written = WriteAll(temp.get(), file) == 0 && ::fsync(temp.get()) == 0;
        temp.reset();
        if (written && ::renameat(dir.get(), tempName.constData(), dir.get(), fileName.constData()) == 0)
            return true;
        ::unlinkat(dir.get(), tempName.constData(), 0);
        return false;
    } catch (...) {
        return false;
    }
}

std::optional<CachedReply> LoadCachedReply(const QString &folder, const QString &name, const QString &key,
                                           qint64 maxBytes)
{
    try {
        if (folder.isEmpty() || !PlainName(name))
            return std::nullopt;
        Descriptor dir(OpenFolder(QFile::encodeName(folder)));
        if (dir.get() < 0)
            return std::nullopt;
        // Non-blocking, so that a pipe at the place cannot hold the start-up.
        Descriptor file(::openat(dir.get(), QFile::encodeName(name).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st;
        if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes)
            return std::nullopt;
        // One byte more than announced is read, so a file that grows under
        // us is noticed rather than cut.
        QByteArray data;
        if (ReadUpTo(file.get(), qint64(st.st_size) + 1, data) != 0)
            return std::nullopt;
        if (data.size() != st.st_size)
            return std::nullopt;
        return Parse(data, key);
    } catch (...) {
        return std::nullopt;
    }
}
