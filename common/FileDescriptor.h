#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Plain POSIX file descriptors for the files the program reads and writes
// itself (it needs O_NOFOLLOW, O_NONBLOCK and the *at calls, which QFile
// does not offer).

// An open file descriptor, closed at the end of its scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }
    // Closes what it holds and holds `fd` instead.
    void reset(int fd = -1);

private:
    int fd_;
};

// Writes all of `bytes`, again after an interruption: 0, or the errno of the
// failure (EIO for a write that wrote nothing).
int WriteAll(int fd, QByteArrayView bytes);

// Reads up to `limit` bytes into `bytes`, fewer at the end of the file, again
// after an interruption: 0, or the errno of the failure.
int ReadUpTo(int fd, qint64 limit, QByteArray &bytes);
