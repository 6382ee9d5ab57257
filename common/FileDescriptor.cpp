#include "common/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

void Descriptor::reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

int WriteAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

int ReadUpTo(int fd, qint64 limit, QByteArray &bytes)
{
    bytes.clear();
    // In pieces, so that a large limit costs memory only for what is there.
    constexpr qint64 kPiece = 64 * 1024;
    while (bytes.size() < limit) {
        const qint64 want = std::min(kPiece, limit - bytes.size());
        const qsizetype at = bytes.size();
        bytes.resize(at + want);
        const ssize_t got = ::read(fd, bytes.data() + at, static_cast<size_t>(want));
        if (got < 0 && errno == EINTR) {
            bytes.resize(at);
            continue;
        }
        if (got < 0) {
            const int error = errno;
            bytes.resize(at);
            return error;
        }
        bytes.resize(at + got);
        if (got == 0)
            break;
    }
    return 0;
}
