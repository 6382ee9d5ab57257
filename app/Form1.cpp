#include "Form1.h"

#include "startup/StartupFiles.h"

#include "common/RuntimeError.h"
#include "common/CodePage.h"
#include "common/TextFile.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

namespace {

const QString kStartupFailureSuffix =
    QStringLiteral(".  Text file format is Lat, Long, Auto update=true or false");
const QString kStartupFailureTitle = QStringLiteral("Error loading ") + kSettingsFileName;

// What the forecast refresh says when the reply holds no forecast: the
// download's failure when there was one, the service's error status when it
// answered with one, and otherwise that the place has no forecast.
QString NoForecastText(const net::DownloadReport &report)
{
    if (report.failure != net::Failure::None)
        return QStringLiteral("The forecast could not be downloaded: %1.").arg(net::DescribeFailure(report));
    if (report.httpStatus >= 400) {
        const QString status = QStringLiteral("HTTP %1 %2").arg(report.httpStatus).arg(report.reason).trimmed();
        return QStringLiteral("The forecast service at %1 answered with an error: %2.").arg(report.host, status);
    }
    return kNoForecastMessage;
}

// A refresh is due when its count has reached its threshold, or when the
// count is negative: the clock was set back behind the stored time (a
// daylight-saving change, a corrected clock), and waiting for the old time
// to come round again could take hours or days.
bool Due(long long count, long long threshold)
{
    return count >= threshold || count < 0;
}

// What a widget is given at most: far more than it can show (the text box
// holds a few hundred characters, a list cell a few dozen), so that a value
// of megabytes in a hostile reply does not hold the window while it is laid
// out. The composed texts themselves stay whole.
constexpr qsizetype kMostInTextBox = 4096;
constexpr qsizetype kMostInLine = 1024;

QString Shown(const QString &text, qsizetype most)
{
    return text.size() <= most ? text : text.left(most);
}

QString Degrees(const char *prefix)
{
    return QString::fromLatin1(prefix) + QChar(kDegreeSign) + QStringLiteral("F");
}

// The wait cursor while a refresh waits on the network, put back when the
// refresh ends however it ends, or earlier by release() (before a message box,
// which should not show a busy pointer).
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { release(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

    void release()
    {
        if (active_) {
            active_ = false;
            QGuiApplication::restoreOverrideCursor();
        }
    }

private:
    bool active_ = true;
};

} // namespace

Form1::Form1(Platform &platform, ServiceOrigins origins, QWidget *parent)
    : QWidget(parent), platform_(platform), origins_(std::move(origins))
{
    CreateControls();
    DescribeForScreenReaders();
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Update, &QPushButton::clicked, this, &Form1::Update_Click);
    connect(Location, &QPushButton::clicked, this, &Form1::Location_Click);
    // A cell cut short shows its whole text as a tooltip.
    lvwEmployees->viewport()->installEventFilter(this);
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

    Update = new QPushButton(QStringLiteral("Update"), this);
    Update->setObjectName(QStringLiteral("Update"));
    Update->setGeometry(304, 152, 57, 17);
    Location = new QPushButton(QStringLiteral("Location"), this);
    Location->setObjectName(QStringLiteral("Location"));
    Location->setGeometry(416, 152, 57, 17);
    // The buttons lie over the list's lower part and stay on top of its rows.
    Update->raise();
    Location->raise();

    setTabOrder(lvwEmployees, Text1);
    setTabOrder(Text1, Update);
    setTabOrder(Update, Location);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(60000);
    Timer1->start();
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
}

void Form1::SetTemperature(const QString &labelText)
{
    Label1->setText(Shown(labelText, kMostInLine));
    // A label's accessible name replaces its text, so the name carries it.
    const QString value = labelText.trimmed();
    Label1->setAccessibleName(value.isEmpty() ? QStringLiteral("Current temperature")
                                              : QStringLiteral("Current temperature ") + Shown(value, kMostInLine));
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != lvwEmployees->viewport() || event->type() != QEvent::ToolTip)
        return QWidget::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = lvwEmployees->indexAt(help->pos());
    const QString text = index.data().toString();
    const QRect cell = lvwEmployees->visualRect(index);
    // The text room of a cell as the list's style lays it out.
    const int margin = lvwEmployees->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lvwEmployees) + 1;
    if (index.isValid() && lvwEmployees->fontMetrics().horizontalAdvance(text) > cell.width() - 2 * margin)
        QToolTip::showText(help->globalPos(), text, lvwEmployees->viewport(), cell);
    else
        QToolTip::hideText();
    return true;
}

FilePlaces Form1::Places()
{
    return ChooseFilePlaces(platform_.ProgramDirectory(), platform_.ProgramDirectoryWritable(),
                            platform_.UserConfigDirectory());
}

void Form1::RunHandler(const std::function<void()> &handler, bool deferIfBusy)
{
    if (busy_ > 0) {
        if (deferIfBusy)
            deferred_.push_back(handler);
        return;
    }
    ++busy_;
    try {
        handler();
    } catch (...) {
        --busy_;
        throw;
    }
    --busy_;
    if (!deferred_.empty())
        QTimer::singleShot(0, this, &Form1::RunDeferredClicks);
}

void Form1::RunDeferredClicks()
{
    if (busy_ > 0 || deferred_.empty() || closed_)
        return;
    const auto next = deferred_.front();
    deferred_.erase(deferred_.begin());
    RunHandler(next, true);
}

void Form1::Form_Load()
{
    RunHandler([this] { StartupSequence(); }, true);
}

void Form1::ShowErrorLoadingSettings(const QString &description)
{
    platform_.ShowMessage(this, description + kStartupFailureSuffix, kStartupFailureTitle);
}

void Form1::StartupSequence()
{
    try {
        show();
        state_.LastForecastTime = platform_.Now();
        state_.LastAlmanacTime = state_.LastForecastTime;

        bool autoUpdate = Timer1->isActive();
        const FilePlaces places = Places();
        ReadSettingsFile(places.settingsToRead, state_, autoUpdate);
        // Nothing here switches automatic updates back on.
        if (!autoUpdate)
            Timer1->stop();

        const DateValue cutoff = DatePart(platform_.Now()) - 5;
        LookupNextFullMoon(places.table, cutoff, state_);

        RefreshAlmanac();

        AddColumn(QStringLiteral("Day"), 78);
        AddColumn(Degrees("Max "), 45);
        AddColumn(Degrees("Min "), 45);
        AddColumn(QStringLiteral("Rain %"), 45);
        AddColumn(QStringLiteral("Forecast Conditions"), 192);

        platform_.LetEventsRun();
        RefreshForecast();
        repaint();
    } catch (const RuntimeError &error) {
        ShowErrorLoadingSettings(error.description());
    }
}

void Form1::Timer1_Timer()
{
    // A tick while another handler runs does nothing: what is due follows
    // from the stored times, so the next tick catches up.
    RunHandler(
        [this] {
            const long long hours = HourBoundaries(state_.LastAlmanacTime, platform_.Now());
            const long long days = DayBoundaries(state_.LastAlmanacTime, platform_.Now());
            if (Due(hours, 8) || Due(days, 1)) {
                state_.LastAlmanacTime = platform_.Now();
                RefreshAlmanac();
                platform_.Pause(5000);
            }
            const long long minutes = MinuteBoundaries(state_.LastForecastTime, platform_.Now());
            if (Due(minutes, 30)) {
                state_.LastForecastTime = platform_.Now();
                RefreshForecast();
            }
        },
        false);
}

void Form1::Update_Click()
{
    RunHandler(
        [this] {
            // The refresh reports its own failures: nothing reaches this handler.
            state_.LastForecastTime = platform_.Now();
            RefreshForecast();
        },
        true);
}

void Form1::Location_Click()
{
    RunHandler(
        [this] {
            const FilePlaces places = Places();
            const QString path = places.settings;
            if (!PrepareSettingsFile(places))
                return;
            const QString noEditor = QStringLiteral("No text editor could be started for %1.\n"
                                                    "Edit that file with any text editor, then close this message.")
                                         .arg(path);
            const QString updated = QStringLiteral("Your new location will be updated.");
            bool editing = platform_.OpenInEditor(path);
            if (editing && !platform_.ShowMessageWhileEditing(this, updated))
                editing = false;   // the editor failed while the box was up
            if (!editing) {
                platform_.ShowMessage(this, noEditor, QString());
                platform_.ShowMessage(this, updated, QString());
            }
            ClearColumns();
            lvwEmployees->clear();
            StartupSequence();
        },
        true);
}

bool Form1::PrepareSettingsFile(const FilePlaces &places)
{
    const QString &path = places.settings;
    // Only a missing file is created, and never through a link or over a
    // pipe; anything else that is not a file stops the command with its name.
    const PathKind kind = InspectPath(path);
    if (kind == PathKind::File)
        return true;
    if (kind != PathKind::Missing) {
        platform_.ShowMessage(this,
                              QStringLiteral("The settings file cannot be edited: %1 %2.").arg(path, PathKindText(kind)),
                              QStringLiteral("Error opening ") + kSettingsFileName);
        return false;
    }
    try {
        if (!places.userDirectory.isEmpty() && !QDir().mkpath(places.userDirectory))
            throw RuntimeError(QStringLiteral("Cannot create the folder %1").arg(places.userDirectory));
        CreateTextFile(path, NewSettingsContent(places));
    } catch (const RuntimeError &error) {
        platform_.ShowMessage(this, QStringLiteral("The settings file could not be created.\n%1").arg(error.description()),
                              QStringLiteral("Error creating ") + kSettingsFileName);
        return false;
    }
    return true;
}

void Form1::RefreshAlmanac()
{
    BusyCursor busy;
    const QString reply = platform_.DownloadUrl(
        AlmanacQuery(origins_.almanac, state_.Latitude, state_.Longitude, state_.QueryExtra, platform_.Now()), 0);
    // Nothing fetched (offline, a failing host), or a reply that could not be
    // read: the sun and moon of the last good refresh stay until the next one.
    if (reply.isEmpty())
        return;
    const Result<AlmanacTexts> scan = ScanAlmanacReply(reply);
    // A reply without any sun/moon marker still blanks the texts, as before.
    if (!scan && scan.outcome != Outcome::Absent)
        return;
    const AlmanacComposition composition = ComposeAlmanac(scan.value);
    state_.AlmanacText = composition.text;
    state_.AlmanacTitle = composition.title;
    // An illumination beyond 16 bits keeps the picture the window had.
    if (const Result<int> image = MoonImageNumber(scan.value.illuminationText, scan.value.phaseWord)) {
        setWindowIcon(ImageList1.Picture(image.value));
        iconIndex_ = image.value;
    }
}

void Form1::FetchTomorrowMoonrise()
{
    BusyCursor busy;
    const QString reply = platform_.DownloadUrl(
        TomorrowQuery(origins_.almanac, state_.Latitude, state_.Longitude, state_.QueryExtra, platform_.Now()), 0);
    // The moonrise row keeps the last time found.
    const Result<QString> moonrise = ScanTomorrowMoonrise(reply);
    if (moonrise && !moonrise.value.isEmpty())
        state_.MoonriseTomorrowText = moonrise.value;
}

void Form1::RefreshForecast()
{
    BusyCursor busy;
    QString temperatureText;
    const QString reply =
        platform_.DownloadUrl(ForecastQuery(origins_.forecast, state_.Latitude, state_.Longitude), 0);
    const net::DownloadReport report = platform_.LastDownloadReport();
    const Result<ForecastExtraction> read = ExtractForecastReply(reply);
    if (read.outcome == Outcome::Absent) {
        busy.release();
        platform_.ShowMessage(this, NoForecastText(report), QString());
        return;
    }
    // A reply that did not load or whose scan failed changes only the title.
    if (read) {
        DisplayInputs inputs;
        inputs.almanacText = state_.AlmanacText;
        inputs.almanacTitle = state_.AlmanacTitle;
        inputs.nextFullMoon = state_.NextFullMoon;
        inputs.lastAlmanacTime = state_.LastAlmanacTime;
        inputs.lastForecastTime = state_.LastForecastTime;
        inputs.timerEnabled = Timer1->isActive();
        const Result<ForecastView> view = ComposeForecastView(read.value, inputs);
        temperatureText = view.value.temperatureText;
        SetTemperature(view.value.labelText);
        SetText1(view.value.text1);
        if (view) {
            lvwEmployees->clear();
            for (const ListRow &row : view.value.rows)
                AddRow(row);
            FetchTomorrowMoonrise();
            AddRow(MoonriseRow(state_.MoonriseTomorrowText));
            for (const ListRow &row : view.value.timeRows)
                AddRow(row);
        }
    }
    setWindowTitle(Shown(ForecastTitle(temperatureText, state_.AlmanacTitle), kMostInLine));
    repaint();
    platform_.LetEventsRun();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // A handler may be waiting on the network or in the pause: it ends at
    // once, shows nothing more, and the program ends with the window.
    closed_ = true;
    platform_.Quit();
    QWidget::closeEvent(event);
}

void Form1::SetText1(const QString &text)
{
    text1Text_ = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Text1->setPlainText(Shown(shown, kMostInTextBox));
}

void Form1::AddColumn(const QString &text, int width)
{
    const int index = columnCount_++;
    lvwEmployees->setColumnCount(columnCount_);
    lvwEmployees->headerItem()->setText(index, text);
    lvwEmployees->setColumnWidth(index, width);
}

void Form1::ClearColumns()
{
    columnCount_ = 0;
    lvwEmployees->setColumnCount(0);
}

void Form1::AddRow(const ListRow &row)
{
    auto *item = new QTreeWidgetItem(lvwEmployees);
    item->setText(0, Shown(row.text, kMostInLine));
    for (int k = 0; k < row.subItems.size(); ++k)
        item->setText(k + 1, Shown(row.subItems.at(k), kMostInLine));
}
