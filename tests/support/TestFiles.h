#pragma once

// The files a test writes and reads back: settings files, full-moon tables,
// whatever lies beside the program, and the suite's own hand-made replies.
#include <QFile>
#include <QString>
#include <QtTest>

namespace testsupport {

// Writes `bytes` to `path`, replacing what was there; a file that cannot be
// written fails the test.
inline void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path + QStringLiteral(": ") + file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The bytes of `path`. A file that cannot be read gives a text naming it,
// so that it never passes for an empty file.
inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<cannot read " + QFile::encodeName(path) + '>';
    return file.readAll();
}

// A file of the suite itself, `relative` to tests/ (a hand-made reply); a
// missing one is a broken checkout and ends the run.
inline QByteArray SuiteFile(const QString &relative)
{
    QFile file(QStringLiteral(SELVORRA_TESTS_DIR "/") + relative);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test file tests/%s", qPrintable(relative));
    return file.readAll();
}

} // namespace testsupport
