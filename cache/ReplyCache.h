#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The last good reply of each service, kept in the user's cache folder so
// that a start without network still has something to show. Plain files, no
// network; nothing here throws, and a cache that cannot be written or read
// costs nothing but the cache.
//
// One file per name, in this form (lengths in bytes, decimal):
//
//     selvorra-cache 1
//     key <length>
//     <the key as UTF-8>
//     fetched <ISO 8601 UTC, e.g. 2026-12-06T10:05:00.000Z>
//     body <length>
//     <the body as UTF-8, to the end of the file>
//
// The lengths make a key with line breaks harmless and a cut-off file
// detectable: a file is taken only when every part is where its lengths say
// and nothing follows the body.

struct CachedReply {
    QString body;          // the reply text exactly as it was stored
    QDateTime fetchedUtc;  // when it was fetched (UTC)
};

// Stores `body` for `key` as `folder`/`name` (a plain file name such as
// "forecast"; `key` is whatever the caller needs to match, e.g. the place and
// the date). The file is written whole under a temporary name in the same
// folder and renamed over the old one, so a reader never sees half of it and
// a failed write keeps the old one. The folder (and any missing folder
// above it) is made, private to the user, when missing. Nothing is written
// when the folder is a link, when the file's place holds a link or anything
// but a plain file, or when the file would be larger than `maxBytes`. False
// on any failure.
bool StoreCachedReply(const QString &folder, const QString &name, const QString &key,
                      const QDateTime &fetchedUtc, const QString &body, qint64 maxBytes);

// The reply stored for `key`, or nothing: when the file is missing,
// unreadable, larger than `maxBytes`, not a plain file or reached through a
// link, stored for another key or in another form, cut off or otherwise
// damaged. Never waits on a pipe or device left at the file's place.
std::optional<CachedReply> LoadCachedReply(const QString &folder, const QString &name,
                                           const QString &key, qint64 maxBytes);
