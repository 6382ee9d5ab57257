#include "Form1.h"
#include "AlertWindow.h"
#include "HourlyWindow.h"
#include "ShownText.h"

#include "startup/StartupFiles.h"

#include "common/RuntimeError.h"
#include "common/CodePage.h"
#include "common/TextFile.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

namespace {

QString Degrees(const char *prefix)
{
    return QString::fromLatin1(prefix) + QChar(kDegreeSign) + QStringLiteral("F");
}

} // namespace

Form1::Form1(Platform &platform, ServiceOrigins origins, QWidget *parent)
    : QWidget(parent), platform_(platform),
      logic_(platform, std::move(origins), [this](const WindowView &view, bool repaintNow) { Draw(view, repaintNow); })
{
    platform_.AttachWindow(this);
    CreateControls();
    DescribeForScreenReaders();
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Update, &QPushButton::clicked, this, &Form1::Update_Click);
    connect(Location, &QPushButton::clicked, this, &Form1::Location_Click);
    connect(Hours, &QPushButton::clicked, this, [this] { logic_.HoursClicked(); });
    connect(Warnings, &QToolButton::clicked, this, &Form1::WarningsClicked);
    Warnings->installEventFilter(this);
    // A forecast row, double-clicked or entered, opens the hours at its period.
    connect(lvwEmployees, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        const int row = lvwEmployees->indexOfTopLevelItem(item);
        if (row >= 0 && row < 7 && item->columnCount() > 1)
            logic_.HoursClicked(row);
    });
    // A cell cut short shows its whole text as a tooltip.
    lvwEmployees->viewport()->installEventFilter(this);
    logic_.SetWindows([this](const Alert &alert) { ShowAlert(alert); },
                      [this](const HourlyContent &content, const std::optional<QDateTime> &scrollTo) {
                          ShowHours(content, scrollTo);
                      });
}

Form1::~Form1() = default;

void Form1::ShowAlert(const Alert &alert)
{
    show();
    raise();
    activateWindow();
    if (!alertWindow_)
        alertWindow_ = std::make_unique<AlertWindow>();
    alertWindow_->ShowAlert(alert);
}

void Form1::ShowHours(const HourlyContent &content, const std::optional<QDateTime> &scrollTo)
{
    if (!hourlyWindow_) {
        hourlyWindow_ = std::make_unique<HourlyWindow>();
        hourlyWindow_->installEventFilter(this);
    }
    hourlyWindow_->Show(content);
    if (scrollTo)
        hourlyWindow_->ScrollToTime(*scrollTo);
    // A refresh changes the window where it is; only a click brings it forward.
    if (content.opening)
        hourlyWindow_->Open();
}

void Form1::CreateControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Selvorra Boulder City"));
    setWindowIcon(SunIcon());
    // One fixed-size window: the controls sit at fixed places and nothing
    // would gain from a larger frame.
    setFixedSize(547, 182);
    // The controls were laid out for a small 8-point dialog font; a larger
    // desktop default would wrap the text box's lines and hide list rows.
    QFont standardFont = font();
    standardFont.setPointSize(8);
    setFont(standardFont);

    CreateList();

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(8, 40, 121, 137);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Every refresh rewrites the box, so typing into it would only be lost.
    Text1->setReadOnly(true);
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 0, 113, 41);
    QFont labelFont(QStringLiteral("MS Sans Serif"), 24);
    labelFont.setWeight(QFont::Normal);
    labelFont.setItalic(false);
    labelFont.setUnderline(false);
    labelFont.setStrikeOut(false);
    Label1->setFont(labelFont);
    Label1->setFocusPolicy(Qt::NoFocus);

    CreateButtons();

    // A strip above the list for the service's warnings: the list gives up
    // its top while there are any, so nothing of the window's controls is
    // hidden and the window keeps its size.
    Warnings = new QToolButton(this);
    Warnings->setObjectName(QStringLiteral("Warnings"));
    Warnings->setGeometry(136, 0, 409, 18);
    Warnings->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Warnings->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    Warnings->setAutoRaise(true);
    Warnings->setFocusPolicy(Qt::StrongFocus);
    Warnings->setAccessibleName(QStringLiteral("Weather warnings"));
    Warnings->hide();

    setTabOrder(Warnings, lvwEmployees);
    setTabOrder(lvwEmployees, Text1);
    setTabOrder(Text1, Update);
    setTabOrder(Update, Location);
    setTabOrder(Location, Hours);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(60000);
    Timer1->start();
}

void Form1::CreateButtons()
{
    const auto button = [this](const QString &name, const QRect &place) {
        auto *made = new QPushButton(name, this);
        made->setObjectName(name);
        made->setGeometry(place);
        // The buttons lie over the list's lower part and stay on top of its rows.
        made->raise();
        return made;
    };
    Update = button(QStringLiteral("Update"), QRect(304, 152, 57, 17));
    Location = button(QStringLiteral("Location"), QRect(416, 152, 57, 17));
    // In the free room right of Location, clear of the list's scroll bar.
    Hours = button(QStringLiteral("Hours"), QRect(480, 152, 44, 17));
}

// The report-style list, with no columns yet: start-up adds them.
void Form1::CreateList()
{
    lvwEmployees = new QTreeWidget(this);
    lvwEmployees->setObjectName(QStringLiteral("lvwEmployees"));
    lvwEmployees->setGeometry(136, 0, 409, 177);
    lvwEmployees->setRootIsDecorated(false);
    lvwEmployees->setItemsExpandable(false);
    lvwEmployees->setUniformRowHeights(true);
    lvwEmployees->header()->setStretchLastSection(false);
    lvwEmployees->header()->setSectionsMovable(false);
    lvwEmployees->setColumnCount(0);
    lvwEmployees->setHeaderLabels({});
}

// What a screen reader says of each part; the visible texts stay as they are.
void Form1::DescribeForScreenReaders()
{
    setAccessibleName(QStringLiteral("Selvorra"));
    setAccessibleDescription(QStringLiteral("Weather forecast, sun and moon for one place"));
    lvwEmployees->setAccessibleName(QStringLiteral("Seven-day forecast"));
    lvwEmployees->setAccessibleDescription(
        QStringLiteral("Each day's highest and lowest temperature, chance of rain and conditions, then the next "
                       "full moon, tomorrow's moonrise and the times of the last refreshes"));
    Text1->setAccessibleName(QStringLiteral("Sun, moon and current conditions"));
    Text1->setAccessibleDescription(
        QStringLiteral("Sunrise, sunset, moonrise, moonset and the moon's phase, then the current wind speed, "
                       "humidity, dew point, pressure and observation site"));
    SetTemperature(QString());
    Label1->setAccessibleDescription(QStringLiteral("The temperature now, in degrees Fahrenheit"));
    Update->setAccessibleDescription(QStringLiteral("Fetches the forecast again now"));
    Location->setAccessibleDescription(QStringLiteral("Opens the place's settings in a text editor"));
    Hours->setAccessibleName(QStringLiteral("Hours"));
    Hours->setAccessibleDescription(QStringLiteral("Open the hourly forecast"));
}

void Form1::SetTemperature(const QString &labelText)
{
    shown::SetLabel(Label1, labelText);
    // A label's accessible name replaces its text, so the name carries it.
    const QString value = labelText.trimmed();
    Label1->setAccessibleName(value.isEmpty() ? QStringLiteral("Current temperature")
                                              : QStringLiteral("Current temperature ") + shown::Cut(value));
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    // The hours are fetched only while their window is open.
    if (watched == hourlyWindow_.get() && event->type() == QEvent::Close)
        logic_.HoursClosed();
    // Enter activates the warnings strip as Space and a click do.
    if (watched == Warnings && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Warnings->click();
            return true;
        }
        return false;
    }
    if (watched != lvwEmployees->viewport() || event->type() != QEvent::ToolTip)
        return QWidget::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = lvwEmployees->indexAt(help->pos());
    const QString text = index.data().toString();
    const QString tip = index.data(Qt::ToolTipRole).toString();
    const QRect cell = lvwEmployees->visualRect(index);
    // The text room of a cell as the list's style lays it out.
    const int margin = lvwEmployees->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lvwEmployees) + 1;
    // A row's own tooltip (a period's whole forecast, when the forecast was
    // issued) first; otherwise a cell cut short shows its whole text.
    if (index.isValid() && !tip.isEmpty())
        QToolTip::showText(help->globalPos(), tip, lvwEmployees->viewport(), cell);
    else if (index.isValid() && lvwEmployees->fontMetrics().horizontalAdvance(text) > cell.width() - 2 * margin)
        QToolTip::showText(help->globalPos(), shown::Tip(text), lvwEmployees->viewport(), cell);
    else
        QToolTip::hideText();
    return true;
}

void Form1::Draw(const WindowView &view, bool repaintNow)
{
    const bool first = !everDrawn_;
    everDrawn_ = true;
    if (view.shown && !isVisible())
        show();
    if (!view.timerOn && Timer1->isActive())
        Timer1->stop();
    if (first || view.title != drawn_.title)
        setWindowTitle(shown::Title(view.title));
    if (first || view.icon != drawn_.icon)
        setWindowIcon(view.icon == 0 ? SunIcon() : ImageList1.Picture(view.icon));
    if (first || view.label != drawn_.label)
        SetTemperature(view.label);
    if (first || view.text1 != drawn_.text1)
        SetText1(view.text1);
    if (first || view.columns != drawn_.columns)
        SetColumns(view.columns);
    if (first || view.warnings != drawn_.warnings)
        SetWarnings(view.warnings);
    if (first || view.rows != drawn_.rows)
        SetRows(view.rows);
    drawn_ = view;
    if (repaintNow)
        repaint();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // A handler may be waiting on the network, in the pause or on the
    // editor: it ends at once, shows nothing more, and the program ends with
    // the window.
    logic_.Closed();
    QWidget::closeEvent(event);
}

void Form1::SetText1(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Text1->setPlainText(shown::Cut(shown, shown::kBox));
}

// The five columns with their widths, or none (before start-up, and while
// Location starts over).
void Form1::SetColumns(bool present)
{
    lvwEmployees->setColumnCount(0);
    if (!present)
        return;
    const QList<std::pair<QString, int>> columns{
        {QStringLiteral("Day"), 78}, {Degrees("Max "), 45}, {Degrees("Min "), 45},
        {QStringLiteral("Rain %"), 45}, {QStringLiteral("Forecast Conditions"), 192}};
    lvwEmployees->setColumnCount(int(columns.size()));
    for (int index = 0; index < columns.size(); ++index) {
        lvwEmployees->headerItem()->setText(index, columns[index].first);
        lvwEmployees->setColumnWidth(index, columns[index].second);
    }
}

void Form1::SetRows(const std::vector<ListRow> &rows)
{
    lvwEmployees->clear();
    for (const ListRow &row : rows) {
        auto *item = new QTreeWidgetItem(lvwEmployees);
        item->setText(0, shown::Cut(row.text));
        for (int k = 0; k < row.subItems.size(); ++k)
            item->setText(k + 1, shown::Cut(row.subItems.at(k)));
        const QString description = row.description.isEmpty() ? row.tip : row.description;
        for (int c = 0; c <= row.subItems.size(); ++c) {
            if (!row.tip.isEmpty())
                item->setToolTip(c, shown::Tip(row.tip));
            if (!description.isEmpty())
                item->setData(c, Qt::AccessibleDescriptionRole, shown::Cut(description));
        }
    }
}

void Form1::SetWarnings(const WarningsStrip &strip)
{
    if (strip.text.isEmpty()) {
        Warnings->hide();
        lvwEmployees->setGeometry(136, 0, 409, 177);
        return;
    }
    const QStyle::StandardPixmap icon = strip.icon == AlertIcon::Critical ? QStyle::SP_MessageBoxCritical
        : strip.icon == AlertIcon::Warning                                 ? QStyle::SP_MessageBoxWarning
                                                                           : QStyle::SP_MessageBoxInformation;
    Warnings->setIcon(style()->standardIcon(icon));
    Warnings->setText(shown::Caption(strip.text));
    Warnings->setToolTip(shown::Tip(strip.toolTip, shown::kBox));
    Warnings->setAccessibleDescription(shown::Cut(strip.description, shown::kBox));
    lvwEmployees->setGeometry(136, 18, 409, 159);
    Warnings->show();
}

// One alert: its window opens; one hazard: its page. Several: a menu names
// each, and the one chosen opens.
void Form1::WarningsClicked()
{
    const WarningsStrip &strip = drawn_.warnings;
    const size_t count = strip.alerts.empty() ? strip.hazards.size() : strip.alerts.size();
    const auto activate = [&](size_t index) {
        if (strip.alerts.empty())
            logic_.WarningActivated(int(index));
        else
            ShowAlert(strip.alerts[index]);
    };
    if (count == 1) {
        activate(0);
        return;
    }
    if (count == 0)
        return;
    QMenu menu(this);
    for (size_t i = 0; i < count; ++i) {
        const QString name = strip.alerts.empty() ? strip.hazards[i].headline
                                                  : strip.alerts[i].event + QStringLiteral(": ") + strip.alerts[i].headline;
        menu.addAction(shown::Caption(name))->setData(int(i));
    }
    // The strip's values stay as they are while the menu is up.
    const WarningsStrip shownStrip = strip;
    if (QAction *chosen = menu.exec(Warnings->mapToGlobal(QPoint(0, Warnings->height())))) {
        const size_t index = size_t(chosen->data().toInt());
        if (shownStrip.alerts.empty())
            logic_.WarningActivated(int(index));
        else if (index < shownStrip.alerts.size())
            ShowAlert(shownStrip.alerts[index]);
    }
}
