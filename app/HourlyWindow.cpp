#include "app/HourlyWindow.h"
#include "app/ShownText.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

HourlyWindow::HourlyWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), chart_(new HourlyChart(this)), table_(new QTableView(this)),
      model_(new QStandardItemModel(0, kHourlyColumns, this)), source_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Hourly forecast"));
    source_->setAccessibleName(QStringLiteral("Source of the hourly forecast"));
    const std::array<QString, kHourlyColumns> &headers = HourlyHeaders();
    model_->setHorizontalHeaderLabels(QStringList(headers.begin(), headers.end()));
    table_->setModel(model_);
    table_->setAccessibleName(QStringLiteral("Hourly table"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(source_);
    layout->addWidget(chart_, 3);
    layout->addWidget(table_, 2);
    resize(940, 680);

    // The chart's focus hour and the table's current row follow each other.
    connect(chart_, &HourlyChart::FocusHourChanged, this, &HourlyWindow::SelectRow);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    chart_->SetFocusHour(current.row());
            });
}

void HourlyWindow::Show(const HourlyContent &content)
{
    shown::SetLabel(source_, content.forecast.hours.empty()
                                 ? content.problem
                                 : HourlySourceLine(content.forecast.source, content.fetched, content.kept, locale()),
                    shown::kBox);
    chart_->SetData(content.forecast, content.nights, content.nowUtc);
    const std::vector<HourlyRow> rows = HourlyTable(content.forecast, content.nowUtc, locale());
    model_->setRowCount(0);
    model_->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < kHourlyColumns; ++c)
            model_->setItem(r, c, new QStandardItem(shown::Cut(rows[size_t(r)].cells[size_t(c)])));
    table_->resizeColumnsToContents();
    SelectRow(chart_->FocusHour());
}

void HourlyWindow::SelectRow(int row)
{
    if (row < 0 || row >= model_->rowCount() || table_->currentIndex().row() == row)
        return;
    table_->setCurrentIndex(model_->index(row, 0));
    table_->scrollTo(model_->index(row, 0));
}

void HourlyWindow::ScrollToTime(const QDateTime &time)
{
    chart_->ScrollToTime(time);
    SelectRow(chart_->FocusHour());
}

void HourlyWindow::Open()
{
    show();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}
