#include "app/AlertWindow.h"

#include "alerts/AlertText.h"
#include "app/ShownText.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

// A read-only label for a server text: plain, selectable, never a link; a
// long word cannot widen the window, it is cut at the window's edge.
QLabel *PlainLabel(const QString &text)
{
    auto *label = new QLabel;
    shown::SetLabel(label, text, kAlertTextMost, true);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setMinimumWidth(1);
    return label;
}

// Several lines of server text, kept as broken; it grows with the window and scrolls.
QPlainTextEdit *PlainBox(const QString &text)
{
    auto *box = new QPlainTextEdit;
    box->setReadOnly(true);
    box->setPlainText(shown::Cut(text, kAlertTextMost));
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    box->setTabChangesFocus(true);
    box->setMinimumHeight(6 * box->fontMetrics().lineSpacing());
    return box;
}

} // namespace

AlertWindow::AlertWindow(QWidget *parent) : QWidget(parent, Qt::Window), heading_(PlainLabel(QString()))
{
    QFont headingFont = heading_->font();
    headingFont.setBold(true);
    heading_->setFont(headingFont);
    heading_->setAccessibleDescription(QStringLiteral("Headline"));

    auto *page = new QWidget;
    form_ = new QFormLayout;
    form_->setRowWrapPolicy(QFormLayout::WrapLongRows);
    form_->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(heading_);
    pageLayout->addLayout(form_, 1);

    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(page);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addWidget(buttons);
    resize(560, 620);
}

void AlertWindow::ShowAlert(const Alert &alert, const QLocale &locale)
{
    const AlertWindowText text = ComposeAlertWindow(alert, locale);
    setWindowTitle(shown::Title(text.title));
    setAccessibleName(shown::Cut(text.title));
    shown::SetLabel(heading_, text.heading, kAlertTextMost, true);
    while (form_->rowCount() > 0)
        form_->removeRow(0);
    for (const AlertSection &section : text.sections) {
        QWidget *value = nullptr;
        if (section.lines) {
            value = PlainBox(section.text);
            value->setAccessibleName(section.label);
        } else {
            // A label is heard by its name: the field's with its value.
            value = PlainLabel(section.text);
            value->setAccessibleName(shown::Cut(section.label + QStringLiteral(": ") + section.text, kAlertTextMost));
        }
        auto *name = new QLabel;
        shown::SetLabel(name, section.label + u':');
        form_->addRow(name, value);
    }
    show();
    raise();
    activateWindow();
}
