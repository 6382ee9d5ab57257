#pragma once

#include "alerts/Alerts.h"

#include <QLocale>
#include <QWidget>

class QFormLayout;
class QLabel;

// The window that shows one alert whole, in the program: the headline, its
// severity, urgency and certainty in words, the areas, the times, the sender,
// the description and the instruction (see ComposeAlertWindow). Every text
// is plain text in a read-only widget that screen readers reach; nothing in
// it is a link and it opens nothing. One window serves every alert.
class AlertWindow : public QWidget {
    Q_OBJECT

public:
    explicit AlertWindow(QWidget *parent = nullptr);

    // Shows `alert`, in place of what the window showed, and brings the window forward.
    void ShowAlert(const Alert &alert, const QLocale &locale = QLocale());

private:
    QLabel *heading_;
    QFormLayout *form_;
};
