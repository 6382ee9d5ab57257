// The alert window: every server text shows as written (cut to its bound),
// as plain text, line breaks kept, with nothing to activate.

#include "alerts/AlertText.h"
#include "app/AlertWindow.h"
#include "common/Text.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>

class AlertWindowTest : public QObject {
    Q_OBJECT

private slots:
    void showsAsWritten_data()
    {
        QTest::addColumn<QString>("text");   // put into every text of the alert
        QTest::newRow("markup and a link") << R"(<b>bold</b> <a href="https://example.com/x">here</a> https://example.com)";
        QTest::newRow("entities and a script") << "&amp; &lt;i&gt; &#x41; <script>alert(1)</script> [*]";
        QTest::newRow("a 1 MiB line") << QString(1 << 20, u'x');
    }

    void showsAsWritten()
    {
        QFETCH(QString, text);
        Alert alert;
        for (QString *field : {&alert.id, &alert.event, &alert.headline, &alert.areaDesc, &alert.sender, &alert.urgency,
                               &alert.certainty})
            *field = text;
        alert.description = text + "\nsecond line\n\n" + text;
        alert.instruction = alert.description;
        alert.severity = Severity::Extreme;
        AlertWindow window;
        window.ShowAlert(Alert{}, QLocale::c());   // the window is reused
        window.ShowAlert(alert, QLocale::c());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const AlertWindowText composed = ComposeAlertWindow(alert, QLocale::c());
        QCOMPARE(window.windowHandle()->title(), composed.title);

        QStringList labels, boxes;
        for (const QLabel *label : window.findChildren<QLabel *>()) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QVERIFY(!label->openExternalLinks());
            QVERIFY(!(label->textInteractionFlags() & (Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard)));
            labels << label->text();
        }
        for (const QPlainTextEdit *box : window.findChildren<QPlainTextEdit *>()) {
            QVERIFY(box->isReadOnly());
            boxes << box->accessibleName() + ": " + box->toPlainText();
        }
        QStringList expectedLabels{composed.heading}, expectedBoxes;
        for (const AlertSection &section : composed.sections) {
            expectedLabels << section.label + ":";
            if (section.lines)
                expectedBoxes << section.label + ": " + section.text;
            else
                expectedLabels << section.text;
        }
        QCOMPARE(labels, expectedLabels);
        QCOMPARE(boxes, expectedBoxes);
        const QStringList shown = labels + boxes;
        // The areas, the sender and the line breaks of the description, as written within their bounds.
        QVERIFY(shown.contains(SafeText(text, kAlertTextMost)));
        QVERIFY(shown.contains(SafeText(text, kAlertNameMost)));
        QVERIFY(shown.contains("Description: " + SafeLines(alert.description, kAlertTextMost)));

        window.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close)->click();
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(AlertWindowTest)
#include "tst_alert_window.moc"
