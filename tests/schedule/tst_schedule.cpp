// When each refresh is due: a clock that ticks every minute from a start,
// the refresh tried whenever it is due, failing until a given minute.
#include "schedule/Schedule.h"

#include <QDateTime>
#include <QtTest>

class ScheduleTest : public QObject {
    Q_OBJECT

private slots:
    void due_data()
    {
        QTest::addColumn<bool>("almanac");
        QTest::addColumn<QDateTime>("start");   // the time stored before the first try
        QTest::addColumn<int>("okFrom");        // minutes after the start from which a try goes through; -1 never
        QTest::addColumn<int>("minutes");       // how long the clock ticks
        QTest::addColumn<QList<int>>("tries");  // minutes after the start at which a tick finds it due
        const QDate day(2026, 12, 6);
        QTest::newRow("forecast at 10:59, due at the 30th minute start")
            << false << QDateTime(day, QTime(10, 59)) << 0 << 45 << QList<int>{30};
        QTest::newRow("forecast at 10:00:59, due on the tick after 10:30:00")
            << false << QDateTime(day, QTime(10, 0, 59)) << 0 << 45 << QList<int>{30};
        QTest::newRow("sun and moon at 10:59, due at 18:00, not at 17:59")
            << true << QDateTime(day, QTime(10, 59)) << 0 << 7 * 60 + 5 << QList<int>{7 * 60 + 1};
        QTest::newRow("sun and moon at 23:59, due just after midnight")
            << true << QDateTime(day, QTime(23, 59)) << 0 << 60 << QList<int>{1};
        QTest::newRow("forecast down: 1, 2, 4, 8, 16, then 30 minutes apart")
            << false << QDateTime(day, QTime(10, 0)) << -1 << 90 << QList<int>{1, 3, 7, 15, 31, 61};
        QTest::newRow("forecast back at 10:05: the ordinary count from its success")
            << false << QDateTime(day, QTime(10, 0)) << 5 << 90 << QList<int>{1, 3, 7, 37, 67};
        QTest::newRow("sun and moon down") << true << QDateTime(day, QTime(10, 0)) << -1 << 90
                                           << QList<int>{1, 3, 7, 15, 31, 61};
        QTest::newRow("sun and moon down: a new day is due at once, whatever the wait")
            << true << QDateTime(day, QTime(23, 0)) << -1 << 75 << QList<int>{1, 3, 7, 15, 31, 60};
    }

    void due()
    {
        QFETCH(bool, almanac);
        QFETCH(QDateTime, start);
        QFETCH(int, okFrom);
        QFETCH(int, minutes);
        QFETCH(QList<int>, tries);
        Schedule schedule(almanac ? Schedule::Kind::Almanac : Schedule::Kind::Forecast);
        DateValue lastTry = DateFromQDateTime(start);
        // The first try, at the start, failed unless the service is up.
        if (okFrom != 0)
            schedule.Failed(lastTry);
        QList<int> found;
        for (int minute = 1; minute <= minutes; ++minute) {
            const DateValue now = DateFromQDateTime(start.addSecs(60 * minute));
            if (!schedule.Due(lastTry, now))
                continue;
            found << minute;
            lastTry = now;
            if (okFrom >= 0 && minute >= okFrom)
                schedule.Succeeded();
            else
                schedule.Failed(now);
        }
        QCOMPARE(found, tries);
    }

    // The clock set back behind the stored time: due at once.
    void clockSetBack()
    {
        const DateValue stored = MakeDate(2026, 12, 6, 10, 0, 0);
        for (const Schedule::Kind kind : {Schedule::Kind::Forecast, Schedule::Kind::Almanac}) {
            QVERIFY(Schedule(kind).Due(stored, stored - 2.0 / 24));
            QVERIFY(!Schedule(kind).Due(stored, stored + 1.0 / 1440));
        }
        QVERIFY(NewDay(MakeDate(2026, 12, 6, 23, 59, 0), MakeDate(2026, 12, 7, 0, 0, 0)));
        QVERIFY(!NewDay(MakeDate(2026, 12, 6, 0, 0, 0), MakeDate(2026, 12, 6, 23, 59, 59)));
    }
};

QTEST_GUILESS_MAIN(ScheduleTest)
#include "tst_schedule.moc"
