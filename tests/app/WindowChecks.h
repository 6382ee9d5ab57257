#pragma once

// The window as the user sees it (list rows, column headers, icon) and the
// whole-window check of the tests that refresh it with recorded replies.
#include "app/Form1.h"
#include "pictures/Pictures.h"
#include "support/RecordedReplies.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QtTest>

namespace windowcheck {

inline const QString kDeg = QString(QChar(0x00B0));

// The full-moon table the window tests start with, and the full moon the
// list shows from it in December 2026.
inline const QByteArray kTable = "Full moons\r\n2026-11-24 06:53\r\n2026-12-23 17:28\r\n";
inline const QString kNextFullMoon = QStringLiteral("Wednesday, Dec 23, 2026");

inline const QStringList kHeaders{QStringLiteral("Day"), QStringLiteral("Max ") + kDeg + QStringLiteral("F"),
                                  QStringLiteral("Min ") + kDeg + QStringLiteral("F"), QStringLiteral("Rain %"),
                                  QStringLiteral("Forecast Conditions")};

inline QStringList RowTexts(const QTreeWidgetItem *item)
{
    QStringList texts;
    for (int c = 0; c < 5; ++c)
        texts << item->text(c);
    return texts;
}

inline QList<QStringList> ListRows(const QTreeWidget *list)
{
    QList<QStringList> rows;
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        rows << RowTexts(list->topLevelItem(r));
    return rows;
}

inline QStringList ColumnHeaders(const QTreeWidget *list)
{
    QStringList headers;
    for (int c = 0; c < list->columnCount(); ++c)
        headers << list->headerItem()->text(c);
    return headers;
}

// The recorded replies are old by the tests' clock, so the forecast's time
// row carries the stale mark; its own tests check it, the others take it off.
inline QString WithoutStaleMark(QString row)
{
    return row.remove(QRegularExpression(QStringLiteral(" \\(forecast issued \\d+ (days|hours|day) ago\\)$")));
}

// The window's icon, as shown at both sizes, against the picture it should
// be (0: the sun).
inline bool IconShows(const Form1 &form, int picture)
{
    for (const int size : {16, 32}) {
        const QImage shown = form.windowIcon().pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage expected = (picture == 0 ? DrawSunImage(size) : DrawMoonImage(picture, size))
                                    .convertToFormat(QImage::Format_ARGB32);
        if (shown != expected)
            return false;
    }
    return form.IconIndex() == picture;
}

// What the sun/moon refreshes put in the window: the text box's first
// lines, the title after the temperature, and the icon (0: the sun).
struct AlmanacShown {
    QString text;
    QString title;
    int picture = 0;
};

inline AlmanacShown Shown(const recorded::Almanac &almanac)
{
    return {recorded::AlmanacText(almanac), recorded::AlmanacTitle(almanac), almanac.picture};
}

// No sun/moon refresh has fetched anything yet: no texts, and the sun.
inline const AlmanacShown kNoAlmanacYet{};

// The whole window: label, every line of the text box, every row (the
// forecast's seven, the full moon, tomorrow's moonrise, the refresh times),
// title and icon.
inline void CheckWindow(const Form1 &form, const recorded::Forecast &forecast, const AlmanacShown &almanac,
                        const QString &moonrise, const QStringList &times)
{
    const QString temperature = forecast.temperature + kDeg + QStringLiteral("F");
    QCOMPARE(form.Label1->text(), QStringLiteral("   ") + temperature);
    const QString text = almanac.text + recorded::Conditions(forecast);
    QCOMPARE(form.Text1Text(), text);
    QCOMPARE(form.Text1->toPlainText().split(u'\n'), QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n'));

    QCOMPARE(ColumnHeaders(form.lvwEmployees), kHeaders);
    QList<QStringList> rows = forecast.rows;
    rows << QStringList{" ", " ", " ", " ", QStringLiteral("Full Moon ") + kNextFullMoon}
         << QStringList{" ", " ", " ", " ", QStringLiteral("Moonrise tomorrow ") + moonrise};
    for (const QString &time : times)
        rows << QStringList{time, "", "", "", ""};
    QList<QStringList> shownRows = ListRows(form.lvwEmployees);
    if (!shownRows.isEmpty() && !times.isEmpty())
        shownRows.last()[0] = WithoutStaleMark(shownRows.last()[0]);
    QCOMPARE(shownRows, rows);
    // The time rows carry no sub-items at all.
    for (qsizetype r = rows.size() - times.size(); r < rows.size(); ++r)
        QCOMPARE(form.lvwEmployees->topLevelItem(int(r))->columnCount(), 1);

    QCOMPARE(form.windowTitle(), temperature + almanac.title);
    QVERIFY(IconShows(form, almanac.picture));
}

} // namespace windowcheck
