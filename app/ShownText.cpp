#include "ShownText.h"

#include <QLabel>
#include <QMessageBox>

namespace shown {

QString Cut(const QString &text, qsizetype most)
{
    if (text.size() <= most)
        return text;
    qsizetype end = most;
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end);
}

QString Tip(const QString &text, qsizetype most)
{
    return QStringLiteral("<p style='white-space:pre'>")
        + Cut(text, most).toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) + QStringLiteral("</p>");
}

QString Caption(const QString &text, qsizetype most)
{
    return Cut(text, most).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString Title(const QString &text, qsizetype most)
{
    // A doubled mark is how a title writes the characters "[*]" themselves.
    return Cut(text, most).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

void SetLabel(QLabel *label, const QString &text, qsizetype most, bool selectable)
{
    label->setTextFormat(Qt::PlainText);
    label->setOpenExternalLinks(false);
    label->setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                              : Qt::NoTextInteraction);
    label->setText(Cut(text, most));
}

void SetMessage(QMessageBox *box, const QString &text)
{
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setText(Cut(text, kBox));
}

} // namespace shown
