// The window's start-up, its two text files, the timer and the two buttons:
// the window logic alone, driven through the test platform with a fake clock.
#include "TestPlatform.h"
#include "WindowChecks.h"
#include "support/RecordedReplies.h"
#include "support/TestFiles.h"

#include "app/WindowLogic.h"
#include "startup/StartupFiles.h"
#include "common/DateValue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <memory>

namespace {

const QString kSuffix = QStringLiteral(".  Text file format is Lat, Long, Auto update=true or false");
const QString kTitle = QStringLiteral("Error loading SkyvaneLatLong_Setup.txt");
const QString kNoForecast = QStringLiteral("No forecast for this location available.");

using testsupport::ReadFile;
using testsupport::WriteFile;

// The view's rows as the list shows them: each row's text and sub-items.
QList<QStringList> Rows(const WindowView &view)
{
    QList<QStringList> rows;
    for (const ListRow &row : view.rows)
        rows << (QStringList{row.text} + row.subItems);
    return rows;
}

struct World {
    TestPlatform platform;
    std::unique_ptr<WindowLogic> logic;
    int draws = 0;

    World(const QByteArray &settings, const QByteArray &table)
    {
        if (!settings.isNull())
            WriteFile(platform.FilePath(kSettingsFileName), settings);
        if (!table.isNull())
            WriteFile(platform.FilePath(kFullMoonFileName), table);
        logic = std::make_unique<WindowLogic>(platform, ServiceOrigins{}, [this](const WindowView &, bool) { ++draws; });
    }

    const WindowView &View() const { return logic->View(); }

    QStringList Messages() const
    {
        QStringList texts;
        for (const auto &m : platform.messages)
            texts << m.text;
        return texts;
    }

    // Starts the window at `now` and forgets what the start-up did.
    void StartAt(DateValue now)
    {
        platform.now = now;
        logic->Load();
        platform.downloads.clear();
        platform.events.clear();
    }

    void TickAt(DateValue now)
    {
        platform.now = now;
        logic->Tick();
    }

    // Both services answer well with the suite's own replies, but for the
    // one the test has taken down.
    bool forecastDown = false;
    bool almanacDown = false;
    void ServeHealthy()
    {
        platform.onDownload = [this](const QString &url) {
            const bool forecast = url.contains(QStringLiteral("MapClick"));
            if (forecast ? forecastDown : almanacDown)
                return QString();
            return QString::fromLatin1(testsupport::SuiteFile(
                QString::fromLatin1(forecast ? "forecast/replies/night-first-short.xml" : "almanac/waxing-crescent-reply.json")));
        };
    }

    // The text of the list's last two rows: the two refresh times.
    QStringList TimeRows() const
    {
        const auto rows = Rows(View());
        return rows.size() < 2 ? QStringList() : QStringList{rows[rows.size() - 2][0], rows.last()[0]};
    }

    int CountDownloads(const QString &needle) const
    {
        int n = 0;
        for (const QString &url : platform.downloads)
            n += url.contains(needle) ? 1 : 0;
        return n;
    }
};

// A tick that ran both refreshes on 6 December: sun and moon first, the
// pause, then the forecast with tomorrow's moonrise, whose time is read after
// the pause.
void CheckBothRefreshed(const World &w, DateValue almanacTime, DateValue forecastTime)
{
    QCOMPARE(w.platform.events.size(), 4);
    QVERIFY(w.platform.events[0].contains("api/rstt/oneday?date=2026-12-06 "));
    QCOMPARE(w.platform.events[1], QStringLiteral("pause 5000"));
    QVERIFY(w.platform.events[2].contains("MapClick"));
    QVERIFY(w.platform.events[3].contains("api/rstt/oneday?date=2026-12-07 "));
    QCOMPARE(w.logic->State().LastAlmanacTime, almanacTime);
    QCOMPARE(w.logic->State().LastForecastTime, forecastTime);
}

const QByteArray kGoodSettings = "35.9656,-114.836, auto update=true\r\nBoulder\r\n";
const QByteArray kTable = "Full moons\r\n2026-11-24 06:53\r\n2026-12-23 17:28\r\n2027-01-22 12:17\r\n";

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void missingSettingsFile()
    {
        World w(QByteArray(), kTable);
        w.logic->Load();
        QCOMPARE(w.platform.messages.size(), size_t(1));
        QCOMPARE(w.platform.messages[0].text,
                 QStringLiteral("File not found: ") + w.platform.FilePath(kSettingsFileName) + kSuffix);
        QCOMPARE(w.platform.messages[0].title, kTitle);
        QVERIFY(w.View().shown);
        QCOMPARE(w.View().title, QStringLiteral("Selvorra Boulder City"));
        QCOMPARE(w.View().columns, false);
        QCOMPARE(w.View().rows.size(), size_t(0));
        QVERIFY(w.View().timerOn);
        QVERIFY(w.platform.downloads.isEmpty());
        // The refresh times were stamped before the file was read.
        QCOMPARE(w.logic->State().LastForecastTime, w.platform.now);
        QCOMPARE(w.logic->State().LastAlmanacTime, w.platform.now);
    }

    void missingFullMoonTable()
    {
        World w("  1.5 , 2.5 ,  tz=-8  ,Auto Update=FALSE\r\n", QByteArray());
        w.logic->Load();
        QCOMPARE(w.Messages(),
                 QStringList{QStringLiteral("File not found: ") + w.platform.FilePath(kFullMoonFileName) + kSuffix});
        QCOMPARE(w.platform.messages[0].title, kTitle);
        QCOMPARE(w.logic->State().Latitude, QStringLiteral("  1.5 "));
        QCOMPARE(w.logic->State().Longitude, QStringLiteral(" 2.5 "));
        QCOMPARE(w.logic->State().QueryExtra, QStringLiteral("tz=-8"));
        QVERIFY(!w.View().timerOn);
        QVERIFY(w.platform.downloads.isEmpty());
        QCOMPARE(w.View().columns, false);
    }

    void settingsLineShapes_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("message");  // empty: no settings failure
        QTest::addColumn<QString>("latitude");
        QTest::addColumn<QString>("longitude");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<bool>("timerOn");

        QTest::newRow("default line") << QByteArray("35.9656,-114.836, auto update=true\r\nBoulder")
                                      << QString() << "35.9656" << "-114.836" << "auto update=true" << true;
        QTest::newRow("fourth field false") << QByteArray("1,2, tz=-5 ,auto update=false\r\n")
                                            << QString() << "1" << "2" << "tz=-5" << false;
        QTest::newRow("false inside longer text, any case") << QByteArray("1,2,x,NotFaLsEy")
                                                            << QString() << "1" << "2" << "x" << false;
        QTest::newRow("three fields never switch off") << QByteArray("1,2,auto update=false")
                                                       << QString() << "1" << "2" << "auto update=false" << true;
        QTest::newRow("fifth field ignored") << QByteArray("1,2,3,true,false")
                                             << QString() << "1" << "2" << "3" << true;
        QTest::newRow("empty fields") << QByteArray(",,") << QString() << "" << "" << "" << true;
        QTest::newRow("tabs are not trimmed") << QByteArray("1,2,\t x \t") << QString() << "1" << "2"
                                              << "\t x \t" << true;
        // A line feed ends the line too, so the note line never leaks into the query.
        QTest::newRow("LF line end") << QByteArray("1,2,tz=1\nnote, more, fields") << QString() << "1"
                                     << "2" << "tz=1" << true;
        QTest::newRow("CR line end") << QByteArray("1,2,tz=1\rnote") << QString() << "1" << "2" << "tz=1"
                                     << true;
        QTest::newRow("two fields") << QByteArray("7,8\r\n")
                                    << "Field 3 (sun/moon query term) is missing in the first line of %1"
                                    << "7" << "8" << "old" << true;
        QTest::newRow("one field") << QByteArray("7\r\n")
                                   << "Field 2 (longitude) is missing in the first line of %1" << "7"
                                   << "old" << "old" << true;
        QTest::newRow("empty first line") << QByteArray("\r\n1,2,3")
                                          << "Field 1 (latitude) is missing in the first line of %1"
                                          << "old" << "old" << "old" << true;
        QTest::newRow("empty file") << QByteArray("") << "Input past end of file: %1" << "old" << "old"
                                    << "old" << true;
    }

    void settingsLineShapes()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, message);
        QFETCH(QString, latitude);
        QFETCH(QString, longitude);
        QFETCH(QString, extra);
        QFETCH(bool, timerOn);

        // Start from a state the line may or may not overwrite.
        World w("old,old,old\r\n", kTable);
        w.logic->Load();
        WriteFile(w.platform.FilePath(kSettingsFileName), settings);
        w.platform.messages.clear();
        w.logic->LocationClicked();

        const QString path = w.platform.FilePath(kSettingsFileName);
        QStringList failures;
        for (const auto &m : w.platform.messages)
            if (m.title == kTitle)
                failures << m.text;
        if (message.isEmpty())
            QVERIFY2(failures.isEmpty(), qPrintable(failures.join('|')));
        else
            QCOMPARE(failures, QStringList{message.arg(path) + kSuffix});
        QCOMPARE(w.logic->State().Latitude, latitude);
        QCOMPARE(w.logic->State().Longitude, longitude);
        QCOMPARE(w.logic->State().QueryExtra, extra);
        QCOMPARE(w.View().timerOn, timerOn);
        // Location never touches a file that exists.
        QCOMPARE(ReadFile(path), settings);
    }

    void timerOffStaysOff()
    {
        World w("1,2,3,auto update=FALSE\r\n", kTable);
        w.logic->Load();
        QVERIFY(!w.View().timerOn);
        WriteFile(w.platform.FilePath(kSettingsFileName), "1,2,3,auto update=true\r\n");
        w.logic->LocationClicked();
        QVERIFY(!w.View().timerOn);
    }

    void correctStartAndLocationRebuildsColumns()
    {
        World w(kGoodSettings, kTable);
        w.logic->Load();
        const FormState &s = w.logic->State();
        QCOMPARE(s.LastForecastTime, s.LastAlmanacTime);
        QCOMPARE(w.View().columns, true);
        // Sun/moon first, then the forecast (which found no forecast here).
        QCOMPARE(w.platform.downloads.size(), 2);
        QVERIFY(w.platform.downloads[0].startsWith("https://aa.usno.navy.mil/api/rstt/oneday?date=2026-12-06 "));
        QVERIFY(w.platform.downloads[1].startsWith("https://forecast.weather.gov/MapClick.php?lat=35.9656&lon=-114.836"));
        QCOMPARE(w.Messages(), QStringList{kNoForecast + kApiOffline});

        w.platform.now = MakeDate(2026, 12, 6, 11, 0, 0);
        w.logic->LocationClicked();
        w.logic->LocationClicked();
        QCOMPARE(w.View().columns, true);
        QCOMPARE(w.logic->State().LastForecastTime, MakeDate(2026, 12, 6, 11, 0, 0));
        QCOMPARE(w.logic->State().LastAlmanacTime, MakeDate(2026, 12, 6, 11, 0, 0));
    }

    void locationCreatesDefaultFileAndTakesUpEdits()
    {
        World w(QByteArray(), kTable);
        w.logic->Load();
        const QString path = w.platform.FilePath(kSettingsFileName);
        QVERIFY(!QFile::exists(path));
        w.platform.messages.clear();
        w.platform.events.clear();
        QByteArray seenByEditor;
        w.platform.onEditor = [&](const QString &p) {
            seenByEditor = ReadFile(p);
            WriteFile(p, "40.7831,-73.9712,tz=-5\r\n");
        };
        w.logic->LocationClicked();
        QCOMPARE(seenByEditor, QByteArray("35.9656,-114.836, auto update=true\r\nBoulder"));
        QCOMPARE(w.platform.editorOpened, QStringList{path});
        // Editor, then the waiting message, then the start-up runs again.
        QVERIFY(w.platform.events.value(0).startsWith("editor "));
        QCOMPARE(w.platform.events.value(1), QStringLiteral("message Your new location will be updated."));
        QCOMPARE(w.platform.messages[0].title, QString());
        QCOMPARE(w.logic->State().Latitude, QStringLiteral("40.7831"));
        QVERIFY(w.platform.downloads.last().contains("lat=40.7831&lon=-73.9712"));
        QCOMPARE(w.View().columns, true);
    }

    void locationWhenEditorCannotStart()
    {
        World w(kGoodSettings, kTable);
        w.platform.editorStarts = false;
        w.logic->Load();
        w.platform.messages.clear();
        w.logic->LocationClicked();
        QVERIFY(w.platform.messages.size() >= 2);
        QVERIFY(w.platform.messages[0].text.contains(w.platform.FilePath(kSettingsFileName)));
        QCOMPARE(w.platform.messages[1].text, QStringLiteral("Your new location will be updated."));
        QCOMPARE(w.View().columns, true);
    }

    void locationWhenDefaultFileCannotBeCreated()
    {
        World w(QByteArray(), kTable);
        // A folder where the settings file should be: it cannot be created.
        QVERIFY(QDir(w.platform.dir.path()).mkdir(kSettingsFileName));
        w.logic->LocationClicked();
        QCOMPARE(w.platform.messages.size(), size_t(1));
        QVERIFY(w.platform.messages[0].text.contains(w.platform.FilePath(kSettingsFileName)));
        QVERIFY(w.platform.editorOpened.isEmpty());
        QVERIFY(w.platform.downloads.isEmpty());
    }

    // An install for all users: the program's folder is not the user's to
    // write, so the settings become the user's own, in their config folder.
    void userFilesWhenTheProgramFolderIsReadOnly_data()
    {
        QTest::addColumn<QString>("shippedIn");   // relative to the temporary folder
        QTest::addColumn<QString>("programIn");
        QTest::newRow("files beside the program") << "lib/selvorra" << "lib/selvorra";
        QTest::newRow("files in share/selvorra") << "share/selvorra" << "bin";
    }

    void userFilesWhenTheProgramFolderIsReadOnly()
    {
        QFETCH(QString, shippedIn);
        QFETCH(QString, programIn);
        World w{QByteArray(), QByteArray()};
        const QDir root(w.platform.dir.path());
        QVERIFY(root.mkpath(shippedIn) && root.mkpath(programIn));
        const QString shipped = root.filePath(shippedIn);
        WriteFile(shipped + "/" + kSettingsFileName, "1,2,tz=-8,auto update=true\r\nshipped\r\n");
        WriteFile(shipped + "/" + kFullMoonFileName, kTable);
        w.platform.directoryOverride = root.filePath(programIn);
        w.platform.programWritable = false;
        const QString userDir = w.platform.UserConfigDirectory();
        const QString userSettings = userDir + "/" + kSettingsFileName;

        // First start: the shipped default is read and nothing is written.
        w.logic->Load();
        QCOMPARE(w.logic->State().QueryExtra, QStringLiteral("tz=-8"));
        QCOMPARE(w.logic->State().NextFullMoon, MakeDate(2026, 12, 23, 17, 28));
        QVERIFY(!QFileInfo::exists(userDir));

        // Location makes the user's folder and file from the shipped default
        // and opens that file; the shipped one is never touched.
        QByteArray seenByEditor;
        w.platform.onEditor = [&](const QString &path) {
            seenByEditor = ReadFile(path);
            WriteFile(path, "40.7831,-73.9712,tz=-5\r\n");
        };
        w.logic->LocationClicked();
        QCOMPARE(w.platform.editorOpened, QStringList{userSettings});
        QCOMPARE(seenByEditor, QByteArray("1,2,tz=-8,auto update=true\r\nshipped\r\n"));
        QCOMPARE(w.logic->State().Latitude, QStringLiteral("40.7831"));
        QCOMPARE(ReadFile(shipped + "/" + kSettingsFileName), QByteArray("1,2,tz=-8,auto update=true\r\nshipped\r\n"));

        // A table of the user's own is read in place of the shipped one, and
        // messages name the files actually used.
        WriteFile(userDir + "/" + kFullMoonFileName, "Full moons\r\nsoon\r\n");
        w.platform.messages.clear();
        w.logic->LocationClicked();
        QCOMPARE(w.Messages().last(),
                 QStringLiteral("Not a date: \"soon\" in line 2 of ") + userDir + "/" + kFullMoonFileName + kSuffix);
    }

    void fullMoonLookup_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QDateTime>("today");
        QTest::addColumn<QDateTime>("expected");  // invalid: the zero date
        QTest::addColumn<bool>("fails");

        const QByteArray jan = "Full moons\r\n2026-01-13\r\n2026-02-11\r\n";
        QTest::newRow("20 January: cut-off 15 January, next is 11 February")
            << jan << QDateTime(QDate(2026, 1, 20), QTime(9, 0)) << QDateTime(QDate(2026, 2, 11), QTime(0, 0)) << false;
        QTest::newRow("17 January: 13 January still counts")
            << jan << QDateTime(QDate(2026, 1, 17), QTime(9, 0)) << QDateTime(QDate(2026, 1, 13), QTime(0, 0)) << false;
        QTest::newRow("exactly five days ago at midnight does not count")
            << jan << QDateTime(QDate(2026, 1, 18), QTime(23, 0)) << QDateTime(QDate(2026, 2, 11), QTime(0, 0)) << false;
        QTest::newRow("five days ago at a later hour counts")
            << QByteArray("h\r\n2026-01-13 00:01\r\n2026-02-11\r\n") << QDateTime(QDate(2026, 1, 18), QTime(23, 0))
            << QDateTime(QDate(2026, 1, 13), QTime(0, 1)) << false;
        QTest::newRow("all past: the last date") << jan << QDateTime(QDate(2027, 1, 1), QTime(0, 0))
                                                 << QDateTime(QDate(2026, 2, 11), QTime(0, 0)) << false;
        QTest::newRow("header only keeps the zero date") << QByteArray("Full moons\r\n")
                                                         << QDateTime(QDate(2026, 1, 1), QTime(0, 0)) << QDateTime() << false;
        QTest::newRow("bad line after the stopping point is harmless")
            << QByteArray("h\r\n2026-02-11\r\nnot a date\r\n\r\n") << QDateTime(QDate(2026, 1, 20), QTime(0, 0))
            << QDateTime(QDate(2026, 2, 11), QTime(0, 0)) << false;
        QTest::newRow("bad line before it keeps the line before")
            << QByteArray("h\r\n2026-01-13\r\nnot a date\r\n2026-02-11\r\n") << QDateTime(QDate(2026, 1, 20), QTime(0, 0))
            << QDateTime(QDate(2026, 1, 13), QTime(0, 0)) << true;
        QTest::newRow("trailing empty line reached") << QByteArray("h\r\n2026-01-13\r\n\r\n")
                                                     << QDateTime(QDate(2026, 1, 20), QTime(0, 0))
                                                     << QDateTime(QDate(2026, 1, 13), QTime(0, 0)) << true;
        QTest::newRow("LF line ends") << QByteArray("h\n2026-01-13\n2026-02-11\n")
                                      << QDateTime(QDate(2026, 1, 20), QTime(0, 0)) << QDateTime(QDate(2026, 2, 11), QTime(0, 0)) << false;
        QTest::newRow("CR line ends") << QByteArray("h\r2026-01-13\r2026-02-11")
                                      << QDateTime(QDate(2026, 1, 20), QTime(0, 0)) << QDateTime(QDate(2026, 2, 11), QTime(0, 0)) << false;
        QTest::newRow("US and month-name forms") << QByteArray("h\r\n1/13/2026 3:30 PM\r\nFeb 11, 2026 08:00\r\n")
                                                 << QDateTime(QDate(2026, 1, 20), QTime(0, 0)) << QDateTime(QDate(2026, 2, 11), QTime(8, 0)) << false;
        QTest::newRow("empty file") << QByteArray("") << QDateTime(QDate(2026, 1, 20), QTime(0, 0)) << QDateTime() << true;
    }

    void fullMoonLookup()
    {
        QFETCH(QByteArray, table);
        QFETCH(QDateTime, today);
        QFETCH(QDateTime, expected);
        QFETCH(bool, fails);

        World w(kGoodSettings, table);
        w.platform.now = DateFromQDateTime(today);
        w.logic->Load();
        const DateValue want = expected.isValid() ? DateFromQDateTime(expected) : 0.0;
        QCOMPARE(w.logic->State().NextFullMoon, want);
        bool failed = false;
        for (const auto &m : w.platform.messages)
            failed = failed || m.title == kTitle;
        QCOMPARE(failed, fails);
        if (fails) {
            QVERIFY(w.platform.messages[0].text.contains(w.platform.FilePath(kFullMoonFileName)));
            QCOMPARE(w.View().columns, false);
            QVERIFY(w.platform.downloads.isEmpty());
        }
    }

    void headerOnlyTableKeepsPreviousRunsDate()
    {
        World w(kGoodSettings, "h\r\n2026-12-23 17:28\r\n");
        w.logic->Load();
        QCOMPARE(w.logic->State().NextFullMoon, MakeDate(2026, 12, 23, 17, 28));
        WriteFile(w.platform.FilePath(kFullMoonFileName), "h\r\n");
        w.logic->LocationClicked();
        QCOMPARE(w.logic->State().NextFullMoon, MakeDate(2026, 12, 23, 17, 28));
        QFile::remove(w.platform.FilePath(kFullMoonFileName));
        w.logic->LocationClicked();
        QCOMPARE(w.logic->State().NextFullMoon, MakeDate(2026, 12, 23, 17, 28));
    }

    void bothDueOnOneTick()
    {
        World w(kGoodSettings, kTable);
        w.ServeHealthy();
        w.StartAt(MakeDate(2026, 12, 6, 10, 0, 0));
        w.TickAt(MakeDate(2026, 12, 6, 18, 0, 30));
        CheckBothRefreshed(w, MakeDate(2026, 12, 6, 18, 0, 30), MakeDate(2026, 12, 6, 18, 0, 35));
    }

    void firstTickRefreshesNothing()
    {
        World w(kGoodSettings, kTable);
        w.ServeHealthy();
        w.StartAt(MakeDate(2026, 12, 6, 10, 0, 0));
        w.TickAt(MakeDate(2026, 12, 6, 10, 1, 0));
        QVERIFY(w.platform.events.isEmpty());
    }

    void clockSetBack()
    {
        World w(kGoodSettings, kTable);
        w.ServeHealthy();
        w.StartAt(MakeDate(2026, 12, 6, 10, 0, 0));
        // Two hours back (a corrected clock): both refreshes are due at once,
        // and counting goes on from the new times.
        w.TickAt(MakeDate(2026, 12, 6, 8, 0, 0));
        CheckBothRefreshed(w, MakeDate(2026, 12, 6, 8, 0, 0), MakeDate(2026, 12, 6, 8, 0, 5));
        w.TickAt(MakeDate(2026, 12, 6, 8, 29, 0));
        QCOMPARE(w.CountDownloads("MapClick"), 1);
        w.TickAt(MakeDate(2026, 12, 6, 8, 30, 0));
        QCOMPARE(w.CountDownloads("MapClick"), 2);
        // A minute back after that refresh: only the forecast's count is
        // negative (the sun/moon count sees no hour start passed either way).
        w.TickAt(MakeDate(2026, 12, 6, 8, 29, 30));
        QCOMPARE(w.CountDownloads("MapClick"), 3);
        QCOMPARE(w.CountDownloads("date=2026-12-06"), 1);
    }

    // The end of daylight time while the window runs, the observatory down:
    // the new day's computed sun has the new offset (the observatory's
    // table for 81 W 29 N prints 11:38 and 22:37 UT on 3 November 2019, and
    // 11:37 and 22:38 the day before), and the clock's hour back makes both
    // refreshes due at once, their rows the new times.
    void clockCrossesTheEndOfDaylightTime()
    {
        World w("29,-81,tz=-5\r\n", kTable);
        w.ServeHealthy();
        w.almanacDown = true;
        w.StartAt(MakeDate(2019, 11, 2, 23, 30, 0));
        QVERIFY(w.logic->State().AlmanacTitle.endsWith(QStringLiteral("Sunrise:  7:37 AM  Sunset:  6:38 PM (computed)")));
        for (DateValue now = MakeDate(2019, 11, 2, 23, 31, 0); now < MakeDate(2019, 11, 3, 1, 59, 30); now += 1.0 / 1440)
            w.TickAt(now);
        QVERIFY(w.logic->State().AlmanacTitle.endsWith(QStringLiteral("Sunrise:  6:38 AM  Sunset:  5:37 PM (computed)")));
        w.platform.downloads.clear();
        w.TickAt(MakeDate(2019, 11, 3, 1, 0, 0));
        QCOMPARE(w.CountDownloads("MapClick"), 1);
        QCOMPARE(w.CountDownloads("date=2019-11-03"), 1);
        QCOMPARE(w.TimeRows(), (QStringList{"(not yet)", "01:00 AM"}));
    }

    void updateRefreshesForecastOnly()
    {
        World w("1,2,3,false\r\n", kTable);
        w.logic->Load();
        w.platform.downloads.clear();
        w.platform.now = MakeDate(2026, 12, 6, 10, 5, 0);
        w.logic->UpdateClicked();
        QCOMPARE(w.platform.downloads.size(), 1);
        QVERIFY(w.platform.downloads[0].startsWith("https://forecast.weather.gov/MapClick.php?lat=1&lon=2&unit=0&lg=english&FcstType=dwml"));
        QCOMPARE(w.logic->State().LastForecastTime, MakeDate(2026, 12, 6, 10, 5, 0));
        QCOMPARE(w.logic->State().LastAlmanacTime, MakeDate(2026, 12, 6, 10, 0, 0));
    }

    void timeRowsShowTheLastSuccess()
    {
        World w(kGoodSettings, kTable);
        w.ServeHealthy();
        w.almanacDown = true;
        w.StartAt(MakeDate(2026, 12, 6, 10, 0, 0));
        QCOMPARE(w.TimeRows(), (QStringList{"(not yet)", "10:00 AM"}));
        w.almanacDown = false;
        w.forecastDown = true;
        w.TickAt(MakeDate(2026, 12, 6, 10, 1, 0));
        // The sun and moon's success shows at once, with no forecast refresh.
        QCOMPARE(w.TimeRows(), (QStringList{"10:01 AM", "10:00 AM"}));
        w.almanacDown = true;
        w.forecastDown = false;
        w.TickAt(MakeDate(2026, 12, 6, 18, 0, 0));
        // The sun/moon refresh of 18:00 failed; the forecast after it did not.
        QCOMPARE(w.TimeRows(), (QStringList{"10:01 AM", "06:00 PM"}));
        w.forecastDown = true;
        w.platform.now = MakeDate(2026, 12, 6, 18, 10, 0);
        w.logic->UpdateClicked();
        QCOMPARE(w.TimeRows(), (QStringList{"10:01 AM", "06:00 PM"}));
    }

    // Every service down from 23:40 until two days later: each new day shows
    // its own sun and moon, computed and marked (Reykjavik's of 26 June are
    // the observatory's recorded reply), tomorrow's moonrise names the day
    // after today, the forecast keeps what it showed, and the refresh rows
    // carry the date of their last success.
    void everythingDownForDays()
    {
        if (!recorded::Present())
            QSKIP(recorded::kAbsent);
        World w("64.1466,-21.9426,tz=-1\r\n", kTable);
        w.ServeHealthy();
        w.StartAt(MakeDate(2026, 6, 24, 23, 0, 0));
        w.TickAt(MakeDate(2026, 6, 24, 23, 30, 0));
        const QString conditions = w.View().text1.mid(w.logic->State().AlmanacText.size());
        const QString temperature = w.View().title.left(w.View().title.indexOf(u' '));
        w.forecastDown = w.almanacDown = true;
        QString moonriseOfTheDay;
        for (DateValue now = MakeDate(2026, 6, 24, 23, 40, 0); now <= MakeDate(2026, 6, 26, 9, 0, 30); now += 1.0 / 1440) {
            w.TickAt(now);
            if (now > MakeDate(2026, 6, 25, 0, 1, 0) && moonriseOfTheDay.isEmpty())
                moonriseOfTheDay = w.logic->State().MoonriseTomorrowText;
        }
        QString text = recorded::AlmanacText(recorded::kReykjavik);
        text.insert(text.size() - 2, QStringLiteral(" (computed)"));
        QCOMPARE(w.View().text1, text + conditions);
        QCOMPARE(w.View().title, temperature + recorded::AlmanacTitle(recorded::kReykjavik) + QStringLiteral(" (computed)"));
        QCOMPARE(w.View().icon, recorded::kReykjavik.picture);
        const QString moonrise = w.logic->State().MoonriseTomorrowText;
        QVERIFY2(moonrise.endsWith(QStringLiteral(" (computed)")) && moonrise != moonriseOfTheDay, qPrintable(moonrise));
        QCOMPARE(w.TimeRows(), (QStringList{"Jun 24 11:00 PM", "Jun 24 11:30 PM"}));
    }

    // A refresh's failure box waits for no one; there is one per service,
    // a newer failure rewrites it, and a success closes it.
    void oneFailureBoxPerServiceClosedBySuccess()
    {
        World w(kGoodSettings, kTable);
        w.ServeHealthy();
        w.forecastDown = true;
        w.StartAt(MakeDate(2026, 12, 6, 10, 0, 0));
        QCOMPARE(w.platform.openFailures.size(), size_t(1));
        QCOMPARE(w.platform.openFailures[Service::Forecast], kNoForecast + kApiOffline);
        w.platform.report.host = QStringLiteral("forecast.weather.gov");
        w.platform.report.httpStatus = 503;
        w.platform.report.reason = QStringLiteral("Service Unavailable");
        w.TickAt(MakeDate(2026, 12, 6, 10, 1, 0));
        QCOMPARE(w.platform.openFailures.size(), size_t(1));
        QCOMPARE(w.platform.openFailures[Service::Forecast],
                 QStringLiteral("The forecast service at forecast.weather.gov answered with an error: HTTP 503 Service "
                                "Unavailable.") + kApiOffline);
        w.forecastDown = false;
        w.platform.report = {};
        w.TickAt(MakeDate(2026, 12, 6, 10, 3, 0));
        QVERIFY(w.platform.openFailures.empty());
        QVERIFY(w.platform.events.contains(QStringLiteral("close failure box")));
        QCOMPARE(w.TimeRows().value(1), QStringLiteral("10:03 AM"));
    }

    // Clicks on a command that is running or already waiting are dropped;
    // other commands keep their turn.
    void repeatedClicksMerge()
    {
        World w(kGoodSettings, kTable);
        w.ServeHealthy();
        w.StartAt(MakeDate(2026, 12, 6, 10, 0, 0));
        const auto serve = w.platform.onDownload;
        bool clicked = false;
        w.platform.onDownload = [&](const QString &url) {
            if (!clicked && url.contains(QStringLiteral("MapClick"))) {
                clicked = true;
                for (int i = 0; i < 3; ++i)
                    w.logic->UpdateClicked();
                w.logic->LocationClicked();
                w.logic->LocationClicked();
            }
            return serve(url);
        };
        w.logic->UpdateClicked();
        QTRY_VERIFY(!w.logic->Busy() && w.platform.editorOpened.size() == 1);
        QTest::qWait(50);
        // The Update that ran, then Location's start-up once: two forecasts.
        QCOMPARE(w.CountDownloads("MapClick"), 2);
        QCOMPARE(w.platform.editorOpened.size(), 1);
    }

    // Closing the window while Location waits for the editor or on its
    // message ends the command there: nothing runs or shows after it.
    void closeDuringLocationEndsIt_data()
    {
        QTest::addColumn<bool>("inMessage");
        QTest::newRow("while the editor opens") << false;
        QTest::newRow("on the new-location message") << true;
    }

    void closeDuringLocationEndsIt()
    {
        QFETCH(bool, inMessage);
        World w(kGoodSettings, kTable);
        w.ServeHealthy();
        w.StartAt(MakeDate(2026, 12, 6, 10, 0, 0));
        const auto rows = Rows(w.View());
        w.platform.messages.clear();
        int drawsAtClose = -1;
        const auto close = [&] {
            w.logic->Closed();
            drawsAtClose = w.draws;
        };
        if (inMessage)
            w.platform.onMessage = [&](const QString &) { close(); };
        else
            w.platform.onEditor = [&](const QString &) { close(); };
        w.logic->LocationClicked();
        QCOMPARE(w.platform.messages.size(), size_t(inMessage ? 1 : 0));
        QVERIFY(w.platform.downloads.isEmpty());
        QCOMPARE(Rows(w.View()), rows);
        w.logic->UpdateClicked();
        w.TickAt(MakeDate(2026, 12, 6, 19, 0, 0));
        QVERIFY(w.platform.downloads.isEmpty());
        // Nothing is drawn again: the window never comes back.
        QCOMPARE(w.draws, drawsAtClose);
        QVERIFY(w.platform.quit);
    }

    void noHandlerRunsInsideAnother()
    {
        World w(kGoodSettings, kTable);
        w.logic->Load();
        w.platform.events.clear();
        w.platform.now = MakeDate(2026, 12, 6, 19, 0, 0);
        // While the Location message waits: a tick does nothing, a click waits its turn.
        int nestedDownloads = -1;
        w.platform.onMessage = [&](const QString &text) {
            if (text != QStringLiteral("Your new location will be updated."))
                return;
            w.platform.onMessage = nullptr;
            const int before = w.platform.downloads.size();
            w.logic->Tick();
            w.logic->UpdateClicked();
            nestedDownloads = w.platform.downloads.size() - before;
        };
        w.logic->LocationClicked();
        QCOMPARE(nestedDownloads, 0);
        const int afterLocation = w.platform.downloads.size();
        // The held-back click runs once the event loop is back.
        QTRY_COMPARE(w.platform.downloads.size(), afterLocation + 1);
        QVERIFY(w.platform.downloads.last().contains("MapClick"));
        QVERIFY(!w.logic->Busy());
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
