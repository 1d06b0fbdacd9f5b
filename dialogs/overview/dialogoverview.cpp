#include "dialogoverview.h"
#include "ui_dialogoverview.h"

#include "cratesession.h"
#include "overviewitemdelegate.h"

#include <QHeaderView>
#include <QLoggingCategory>
#include <QTableWidget>

namespace {
Q_LOGGING_CATEGORY(lcOverview, "cratectl.dialogs")

constexpr int kInitialRows = 10;
constexpr int kInitialColumns = 10;
constexpr int kRowHeight = 20;
constexpr int kColumnWidth = 100;
} // namespace

DialogOverview::DialogOverview(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogOverview)
{
    m_ui->setupUi(this);
    QTableWidget *table = m_ui->table;
    table->setRowCount(kInitialRows);
    table->setColumnCount(0);
    table->setAlternatingRowColors(true);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    table->setItemDelegate(new OverviewItemDelegate(table));
    for (int column = 0; column < kInitialColumns; ++column)
        appendColumn();
    m_columnLimit = table->columnCount();
    reset();
}

DialogOverview::~DialogOverview()
{
    delete m_ui;
}

void DialogOverview::bind(CrateSession *session)
{
    // The formatted values (the session also sends them as plain numbers).
    connect(session, qOverload<int, int, QString, QString>(&CrateSession::updateChannelVoltageMeasure), this,
            [this](int serial, int channel, const QString &value, const QString &) {
                updateChannelVoltageMeasure(serial, channel, value);
            });
    connect(session, qOverload<int, int, QString, QString>(&CrateSession::updateChannelCurrentMeasure), this,
            [this](int serial, int channel, const QString &value, const QString &) {
                updateChannelCurrentMeasure(serial, channel, value);
            });
    connect(session, &CrateSession::updateChannelVoltage, this, &DialogOverview::updateChannelVoltage);
    connect(session, &CrateSession::updateChannelVoltageUnit, this, &DialogOverview::updateChannelVoltageUnit);
    connect(session, &CrateSession::updateChannelCurrentUnit, this, &DialogOverview::updateChannelCurrentUnit);
    connect(session, &CrateSession::updateModuleRunningState, this, &DialogOverview::updateModuleRunningState);
    session->addViewer(CrateSession::OverviewFeed, this);
}

void DialogOverview::appendColumn()
{
    QTableWidget *table = m_ui->table;
    const int column = table->columnCount();
    table->insertColumn(column);
    table->setHorizontalHeaderItem(column, new QTableWidgetItem(tr("Module %1").arg(column)));
    table->setColumnWidth(column, kColumnWidth);
    m_columns.append(Column());
}

void DialogOverview::reset()
{
    QTableWidget *table = m_ui->table;
    table->clearContents();
    for (int row = 0; row < table->rowCount(); ++row) {
        QString header;
        if (row == 0)
            header = tr("Module Status");
        else if (row == 1)
            header = tr("Units");
        else
            header = tr("Channel %1").arg(row - FirstChannelRow);
        table->setVerticalHeaderItem(row, new QTableWidgetItem(header));
        table->setRowHeight(row, kRowHeight);
    }
    for (Column &column : m_columns)
        column.unitsWrittenInMode = -1;
    if (table->rowCount() > 1) {
        for (int column = 0; column < table->columnCount(); ++column) {
            auto *units = new QTableWidgetItem(QStringLiteral("V"));
            units->setData(OverviewItemDelegate::SuffixRole, QStringLiteral("mA"));
            table->setItem(1, column, units);
        }
    }
}

void DialogOverview::setModuleHeader(int serialNumber, const QString &text, const QString &firmware,
                                     const QString &version)
{
    QTableWidget *table = m_ui->table;
    int column = m_serials.indexOf(serialNumber);
    if (column < 0) {
        m_serials.append(serialNumber);
        column = m_serials.size() - 1;
    }
    while (table->columnCount() <= column)
        appendColumn();
    m_columnLimit = table->columnCount();
    auto *header = new QTableWidgetItem(text);
    header->setToolTip(tr("<table><tr><td>Serial number</td><td>%1</td></tr><tr><td>Firmware</td><td>%2</td></tr>"
                          "<tr><td>Version</td><td>%3</td></tr></table>")
                           .arg(serialNumber)
                           .arg(firmware, version));
    table->setHorizontalHeaderItem(column, header);
}

int DialogOverview::columnFor(int serialNumber)
{
    const int column = m_serials.indexOf(serialNumber);
    if (column >= 0)
        return column;
    if (m_serials.size() >= m_columnLimit)
        return -1;
    qCDebug(lcOverview).noquote() << "new Module with sn." << serialNumber;
    m_serials.append(serialNumber);
    while (m_columns.size() < m_serials.size())
        m_columns.append(Column());
    Column &fresh = m_columns[m_serials.size() - 1];
    fresh.voltageUnit.clear();
    fresh.currentUnit.clear();
    return m_serials.size() - 1;
}

QTableWidgetItem *DialogOverview::makeItem(const QString &voltage, const QString &current) const
{
    auto *item = new QTableWidgetItem;
    switch (m_mode) {
    case ShowCurrents:
        item->setText(current);
        break;
    case ShowBoth:
        item->setText(voltage);
        item->setData(OverviewItemDelegate::SuffixRole, current);
        break;
    default:
        item->setText(voltage);
        break;
    }
    return item;
}

void DialogOverview::writeChannelCell(int column, int channel)
{
    QTableWidget *table = m_ui->table;
    const Column &data = m_columns.at(column);
    QTableWidgetItem *item = makeItem(data.voltages.value(channel), data.currents.value(channel));
    const int row = channel + FirstChannelRow;
    while (table->rowCount() <= row) {
        const int added = table->rowCount();
        table->insertRow(added);
        table->setVerticalHeaderItem(added, new QTableWidgetItem(tr("Channel %1").arg(added - FirstChannelRow)));
        table->setRowHeight(added, kRowHeight);
    }
    table->setItem(row, column, item);
}

void DialogOverview::writeUnitsCell(int column)
{
    if (column >= m_ui->table->columnCount())
        return;
    Column &data = m_columns[column];
    data.unitsWrittenInMode = m_mode;
    m_ui->table->setItem(1, column, makeItem(data.voltageUnit, data.currentUnit));
}

static void storeText(QStringList &texts, int channel, const QString &value)
{
    while (texts.size() <= channel)
        texts.append(QString());
    texts[channel] = value;
}

void DialogOverview::updateChannelVoltageMeasure(int serialNumber, int channel, QString value)
{
    if (channel < 0 || channel >= MaxChannels)
        return;
    const int column = columnFor(serialNumber);
    if (column < 0 || column >= m_ui->table->columnCount())
        return;
    storeText(m_columns[column].voltages, channel, value);
    writeChannelCell(column, channel);
}

void DialogOverview::updateChannelCurrentMeasure(int serialNumber, int channel, QString value)
{
    if (channel < 0 || channel >= MaxChannels)
        return;
    const int column = columnFor(serialNumber);
    if (column < 0 || column >= m_ui->table->columnCount())
        return;
    storeText(m_columns[column].currents, channel, value);
    writeChannelCell(column, channel);
}

void DialogOverview::updateChannelVoltageUnit(int serialNumber, int, QString unit)
{
    const int column = columnFor(serialNumber);
    if (column < 0)
        return;
    // Units arrive once per channel and tick; an unchanged cell is not rebuilt.
    if (m_columns[column].voltageUnit == unit && m_columns[column].unitsWrittenInMode == m_mode)
        return;
    m_columns[column].voltageUnit = unit;
    writeUnitsCell(column);
}

void DialogOverview::updateChannelCurrentUnit(int serialNumber, int, QString unit)
{
    const int column = columnFor(serialNumber);
    if (column < 0)
        return;
    // Units arrive once per channel and tick; an unchanged cell is not rebuilt.
    if (m_columns[column].currentUnit == unit && m_columns[column].unitsWrittenInMode == m_mode)
        return;
    m_columns[column].currentUnit = unit;
    writeUnitsCell(column);
}

void DialogOverview::updateModuleRunningState(int serialNumber, QString runningState, QColor color)
{
    const int column = columnFor(serialNumber);
    if (column < 0 || column >= m_ui->table->columnCount())
        return;
    auto *item = new QTableWidgetItem(runningState);
    item->setForeground(color);
    m_ui->table->setItem(0, column, item);
}

void DialogOverview::updateChannelVoltage(int serialNumber, int, float, QString)
{
    columnFor(serialNumber);
}

void DialogOverview::on_showVoltages_clicked()
{
    m_mode = ShowVoltages;
}

void DialogOverview::on_showCurrents_clicked()
{
    m_mode = ShowCurrents;
}

void DialogOverview::on_showBoth_clicked()
{
    m_mode = ShowBoth;
}
