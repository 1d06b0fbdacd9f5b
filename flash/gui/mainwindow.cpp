#include "mainwindow.h"

#include "hexfilecheck.h"

#include "ui_mainwindow.h"

#include "addresslocker.h"
#include "eventmemory.h"
#include "firmwareupdate.h"
#include "flashlogging.h"
#include "flashtimings.h"
#include "ipv4validator.h"
#include "messagebox.h"
#include "settings.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPalette>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

using namespace crateflash;

namespace {
const QString RedPrefix = QStringLiteral("<font color=\"red\">");

QTableWidgetItem *makeItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}
} // namespace

MainWindow::MainWindow(QWidget *parent) : MainWindow(QCoreApplication::arguments(), parent) {}

MainWindow::MainWindow(const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent), m_ui(new Ui::MainWindow), m_arguments(arguments)
{
    m_ui->setupUi(this);
    m_ui->canTunnelBitRate->setEnabled(false);
#ifdef Q_OS_WIN
    m_ui->eventDirectory->setText(QStringLiteral("C:/Temp"));
#else
    // "C:/Temp" means nothing here; the home directory always exists.
    m_ui->eventDirectory->setText(QDir::homePath());
#endif

    // The installed validator must be in place before the address text is set,
    // so that the address check sees it.
    m_ui->ipAddress->setValidator(new IpV4Validator(m_ui->ipAddress));
    {
        const auto store = Settings::operatorStore(QStringLiteral("vexaControl"));
        const QString address = store->value(QStringLiteral("IpAddress"), QStringLiteral("192.168.16.228")).toString();
        const QString hexFile = store->value(QStringLiteral("DefaultHexFileName")).toString();
        m_ui->ipAddress->setText(address);
        // setText does not report an unchanged (empty) text; the check must run anyway.
        on_ipAddress_textChanged(m_ui->ipAddress->text());
        m_ui->fileName->setText(hexFile);
    }
    m_ui->table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_ui->table->verticalHeader()->setDefaultSectionSize(20);

    m_serviceRepeat = new QTimer(this);
    m_serviceRepeat->setSingleShot(true);
    connect(m_serviceRepeat, &QTimer::timeout, this, [this] {
        if (m_serviceAction)
            (this->*m_serviceAction)();
    });

    updateControls();
    QTimer::singleShot(500, this, &MainWindow::enableTabs);
    setWindowTitle(tr("%1 Version %2").arg(QLatin1String(Title), QLatin1String(Version)));
}

MainWindow::~MainWindow()
{
    Snmp::setLogSink(nullptr);
    // The event reader uses the tunnel: it goes first.
    delete m_eventMemory;
    m_eventMemory = nullptr;
    delete m_firmwareUpdate;
    delete m_ui;
}

// ---------------------------------------------------------------- helpers

QString MainWindow::statusText(int code)
{
    switch (code) {
    case FirmwareUpdate::Flashing:
        return tr("Flashing...");
    case FirmwareUpdate::Comparing:
        return tr("Comparing...");
    case 9:
        return tr("Postflash...");
    case FirmwareUpdate::Restart:
        return tr("Restart");
    default:
        return QString();
    }
}

bool MainWindow::isRowTicked(int row) const
{
    // A row without cells counts as unticked.
    const QTableWidgetItem *item = m_ui->table->item(row, CanIdColumn);
    return item && item->checkState() == Qt::Checked;
}

QString MainWindow::cellText(int row, int column) const
{
    const QTableWidgetItem *item = m_ui->table->item(row, column);
    return item ? item->text() : QString();
}

int MainWindow::nextSelectedRow() const
{
    const int rows = m_ui->table->rowCount();
    for (int row = 0; row < rows; ++row) {
        if (isRowTicked(row) && row < m_modules.size() && m_modules.at(row).needsUpdate)
            return row;
    }
    for (int row = 0; row < rows; ++row) {
        if (isRowTicked(row))
            return row;
    }
    return -1;
}

void MainWindow::untick(int row)
{
    if (QTableWidgetItem *item = m_ui->table->item(row, CanIdColumn))
        item->setCheckState(Qt::Unchecked);
}

void MainWindow::setStatusCell(int row, const QString &text)
{
    if (row < 0 || row >= m_ui->table->rowCount())
        return;
    m_ui->table->setItem(row, StatusColumn, makeItem(text));
}

void MainWindow::appendLog(const QString &text)
{
    m_ui->log->appendPlainText(text);
}

void MainWindow::rebuildTable()
{
    const QSignalBlocker blocker(m_ui->table);
    m_ui->table->setRowCount(int(m_modules.size()));
    m_ui->table->setHorizontalHeaderLabels(
        {tr("CAN ID"), tr("Serialnumber"), tr("Device"), tr("Release"), tr("Status")});
    for (int row = 0; row < m_modules.size(); ++row) {
        const Module &module = m_modules.at(row);
        m_ui->table->setVerticalHeaderItem(
            row, new QTableWidgetItem(tr("Slot %1").arg(FirmwareUpdate::slotOfCanId(module.canId))));
        QTableWidgetItem *cells[ColumnCount] = {
            makeItem(module.canIdText()), makeItem(QString::number(module.serialNumber)), makeItem(module.device),
            makeItem(module.releaseText()),
            makeItem(module.needsUpdate ? tr("Need Update") : QString())};
        cells[CanIdColumn]->setFlags(cells[CanIdColumn]->flags() | Qt::ItemIsUserCheckable);
        cells[CanIdColumn]->setCheckState(Qt::Unchecked);
        for (int column = 0; column < ColumnCount; ++column) {
            cells[column]->setBackground(module.needsUpdate ? QBrush(Qt::red) : QBrush(Qt::transparent));
            m_ui->table->setItem(row, column, cells[column]);
        }
        m_ui->table->setRowHeight(row, 20);
    }
}

// ---------------------------------------------------------------- window

void MainWindow::enableTabs()
{
    const bool service = m_arguments.size() > 1 && m_arguments.at(1) == QLatin1String(ServiceArgument);
    for (QWidget *tab : {m_ui->tabSpecialMode, m_ui->tabModuleControl2, m_ui->tabReadFarMemory, m_ui->tabCanMessage})
        m_ui->tabWidget->setTabEnabled(m_ui->tabWidget->indexOf(tab), service);
    m_ui->tabWidget->setTabEnabled(m_ui->tabWidget->indexOf(m_ui->tabFirmwareUpdate), true);
    m_ui->tabWidget->setTabEnabled(m_ui->tabWidget->indexOf(m_ui->tabBitrate), true);
}

void MainWindow::on_ipAddress_textChanged(QString arg1)
{
    int pos = 0;
    const QValidator *validator = m_ui->ipAddress->validator();
    if (!validator || validator->validate(arg1, pos) != QValidator::Acceptable) {
        m_ui->connect->setEnabled(false);
        return;
    }
    // While connected the button stays off; the field is disabled then anyway.
    m_ui->connect->setEnabled(!m_ui->disconnect->isEnabled());
    AddressLocker locker;
    if (locker.isFree(arg1))
        m_ui->addressWarning->clear();
    else
        m_ui->addressWarning->setText(RedPrefix + tr("Warning: This address may be in use!"));
}

void MainWindow::endIfSnmpNotStarted(const FirmwareUpdate &update)
{
    if (update.snmpStarted())
        return;
    MessageBox::critical(nullptr, tr("Firmware Update"),
                         tr("Error while initializing SNMP!\nMost likely the WIENER-CRATE-MIB.txt is "
                            "missing in /usr/share/snmp/mibs.\n\nProgram will be terminated."));
    std::exit(1);
}

void MainWindow::on_connect_clicked()
{
    const QString host = m_ui->ipAddress->text();
    const bool first = !m_firmwareUpdate;
    if (first) {
        Snmp::setLogSink([this](int, const QString &line) { appendLog(line); });
        m_firmwareUpdate = new FirmwareUpdate();
        endIfSnmpNotStarted(*m_firmwareUpdate);
        connect(m_firmwareUpdate, &FirmwareUpdate::moduleFound, this, &MainWindow::moduleFound);
        connect(m_firmwareUpdate, &FirmwareUpdate::information, this, &MainWindow::appendLog);
        connect(m_firmwareUpdate, &FirmwareUpdate::lineWritten, this, &MainWindow::appendLog);
        connect(m_firmwareUpdate, &FirmwareUpdate::status, this, &MainWindow::status);
        connect(m_firmwareUpdate, &FirmwareUpdate::progress, m_ui->progressBar, &QProgressBar::setValue);
        connect(m_firmwareUpdate, &FirmwareUpdate::updateFinished, this, &MainWindow::updateFinished);
        connect(m_firmwareUpdate, &FirmwareUpdate::updateFailed, this, &MainWindow::updateFailed);
    }

    // Every Connect lists the modules anew: the scan starts from an empty list.
    m_modules.clear();
    m_ui->table->setRowCount(0);
    m_firmwareUpdate->resetScan();

    m_firmwareUpdate->open(host);
    m_firmwareUpdate->setMainSwitch(true);
    bool isNumber = false;
    const int kbit = m_ui->canTunnelBitRate->currentText().toInt(&isNumber, 10);
    if (isNumber && kbit > 0)
        m_firmwareUpdate->setTunnelBitRate(kbit * 1000);
    m_firmwareUpdate->announceTunnel(true);

    if (first) {
        m_eventMemory = new EventMemory(this);
        m_eventMemory->attach(m_firmwareUpdate);
        connect(m_eventMemory, &EventMemory::information, this, &MainWindow::appendLog);
        connect(m_eventMemory, &EventMemory::readingComplete, this, &MainWindow::on_readStoredEvents_clicked);
        connect(m_eventMemory, &EventMemory::clearingComplete, this, &MainWindow::on_clearStoredEvents_clicked);
    }

    m_ui->addressWarning->clear();
    m_ui->scan->setText(tr("Scanning for modules..."));
    m_ui->connect->setEnabled(false);
    m_ui->ipAddress->setEnabled(false);
    m_ui->disconnect->setEnabled(true);
    m_ui->selectAll->setEnabled(true);
    m_ui->disselectAll->setEnabled(true);

    AddressLocker locker;
    locker.forceLock(host);
}

void MainWindow::moduleFound(Module newModule)
{
    if (m_updating)
        return;
    m_modules.append(newModule);
    std::stable_sort(m_modules.begin(), m_modules.end(),
                     [](const Module &a, const Module &b) { return a.canId < b.canId; });
    rebuildTable();
    updateControls();
    m_ui->scan->setText(tr("Scanning for modules... (%1 found)").arg(m_modules.size()));
}

void MainWindow::on_disconnect_clicked()
{
    if (m_firmwareUpdate) {
        m_firmwareUpdate->announceTunnel(false);
        // The next Connect scans from scratch; rows of the old scan must not linger.
        m_firmwareUpdate->resetScan();
    }
    m_ui->ipAddress->setEnabled(true);
    m_ui->connect->setEnabled(true);
    m_ui->disconnect->setEnabled(false);
    m_modules.clear();
    m_ui->table->clearContents();
    m_ui->table->setRowCount(0);
    m_ui->scan->clear();
    on_ipAddress_textChanged(m_ui->ipAddress->text());
    updateControls();

    AddressLocker locker;
    locker.unlock(m_ui->ipAddress->text());
}

void MainWindow::on_selectAll_clicked()
{
    for (int row = 0; row < m_ui->table->rowCount(); ++row)
        if (QTableWidgetItem *item = m_ui->table->item(row, CanIdColumn))
            item->setCheckState(Qt::Checked);
}

void MainWindow::on_disselectAll_clicked()
{
    for (int row = 0; row < m_ui->table->rowCount(); ++row)
        untick(row);
}

void MainWindow::on_clearLog_clicked() { m_ui->log->clear(); }

void MainWindow::on_table_cellChanged(int row, int column)
{
    Q_UNUSED(row)
    if (column == CanIdColumn)
        updateControls();
}

void MainWindow::on_fileName_textChanged(QString arg1)
{
    Q_UNUSED(arg1)
    updateControls();
}

void MainWindow::on_programCanBitRate_clicked()
{
    // Reset all would throw the module being flashed out of its boot loader pass.
    if (refusedWhileUpdating())
        return;
    bool ok = false;
    const int kbit = m_ui->canBitRate->currentText().toInt(&ok, 10);
    if (!ok || kbit == 0 || !m_firmwareUpdate)
        return;
    m_firmwareUpdate->programBitRate(kbit);
    appendLog(tr("Programming all modules to %1 kbit/s.").arg(kbit));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        // Close the tunnel first and give the crate a moment before the session goes.
        m_closing = true;
        on_disconnect_clicked();
        event->ignore();
        QTimer::singleShot(1000, this, &MainWindow::close);
        return;
    }
    event->accept();
}

// ---------------------------------------------------------------- firmware batch

void MainWindow::updateControls()
{
    const QString fileName = m_ui->fileName->text();
    QPalette palette = m_ui->fileName->palette();
    if (!fileName.isEmpty() && QFileInfo(fileName).isFile()) {
        m_ui->flash->setEnabled(true);
        m_ui->compare->setEnabled(true);
        palette.setColor(QPalette::Base, Qt::green);
        m_ui->fileName->setToolTip(QString());
    } else {
        m_ui->flash->setEnabled(false);
        m_ui->compare->setEnabled(false);
        palette.setColor(QPalette::Base, QColor(255, 128, 128));
        m_ui->fileName->setToolTip(tr("File not found!"));
    }
    m_ui->fileName->setPalette(palette);

    QList<int> ticked;
    for (int row = 0; row < m_ui->table->rowCount(); ++row)
        if (isRowTicked(row))
            ticked << row;
    if (ticked.isEmpty()) {
        m_ui->select->setEnabled(false);
        m_ui->flash->setEnabled(false);
        m_ui->compare->setEnabled(false);
        return;
    }
    m_ui->select->setEnabled(!m_updating);
    const QString device = cellText(ticked.first(), DeviceColumn);
    const bool fileExists = m_ui->flash->isEnabled();
    if (!device.isEmpty() && fileName.contains(device, Qt::CaseInsensitive)) {
        m_ui->firmwareWarning->clear();
        m_ui->compare->setEnabled(true);
        m_ui->flash->setEnabled(true);
    } else {
        m_ui->firmwareWarning->setText(RedPrefix + tr("Warning: Firmware file doesn't match module type!"));
        m_ui->compare->setEnabled(false);
        m_ui->flash->setEnabled(false);
    }
    // A missing file stays unflashable even when its name matches.
    if (!fileExists) {
        m_ui->compare->setEnabled(false);
        m_ui->flash->setEnabled(false);
    }
    bool mixed = false;
    for (int row : ticked)
        if (cellText(row, DeviceColumn) != device)
            mixed = true;
    if (mixed) {
        m_ui->flash->setEnabled(false);
        m_ui->compare->setEnabled(false);
        m_ui->moduleWarning->setText(RedPrefix + tr("Warning: Modules with different firmware selected!"));
    } else {
        m_ui->moduleWarning->clear();
    }
    if (m_updating) {
        m_ui->flash->setEnabled(false);
        m_ui->compare->setEnabled(false);
    }
}

void MainWindow::on_select_clicked()
{
    const int row = nextSelectedRow();
    if (row < 0)
        return;
    const QString device = cellText(row, DeviceColumn);
    const QStringList filters{QStringLiteral("%1 (%1*)").arg(device), tr("Hex files (*.hex)"), tr("Any files (*)")};
    const QString chosen = MessageBox::getOpenFileName(this, tr("Open Hex file"), m_ui->fileName->text(),
                                                       filters.join(QStringLiteral(";;")));
    if (!chosen.isEmpty())
        m_ui->fileName->setText(chosen);
}

void MainWindow::on_flash_clicked()
{
    m_compareRequested = false;
    startBatch();
}

void MainWindow::on_compare_clicked()
{
    m_compareRequested = true;
    startBatch();
}

void MainWindow::setBatchControlsEnabled(bool enabled)
{
    m_ui->select->setEnabled(enabled);
    m_ui->disconnect->setEnabled(enabled);
    m_ui->table->setEnabled(enabled);
    m_ui->fileName->setEnabled(enabled);
    m_ui->selectAll->setEnabled(enabled);
    m_ui->disselectAll->setEnabled(enabled);
}

void MainWindow::startBatch()
{
    if (!m_firmwareUpdate || m_updating)
        return;
    if (m_eventMemory && m_eventMemory->isReading()) {
        appendLog(tr("Reading stored events is still in progress; start the update when it has finished."));
        return;
    }
    // The whole file is checked before the first frame goes out.
    const QString hexProblem = HexFileCheck::check(m_ui->fileName->text());
    if (!hexProblem.isEmpty()) {
        appendLog(hexProblem);
        return;
    }
    stopServiceRepeat();
    m_updating = true;
    m_stopRequested = false;
    m_ui->log->clear();
    for (int row = 0; row < m_ui->table->rowCount(); ++row)
        if (m_ui->table->item(row, CanIdColumn))
            setStatusCell(row, QString());
    appendLog(m_compareRequested ? tr("Beginning compare procedure...") : tr("Beginning flash procedure..."));
    setBatchControlsEnabled(false);
    m_ui->compare->setEnabled(false);
    m_ui->flash->setEnabled(false);
    m_firmwareUpdate->prepareModules();
    // Waits of seconds: Qt's default timer for them may fire up to 5 % early.
    QTimer::singleShot(flashTimings().batchStartDelayMs, Qt::PreciseTimer, this, &MainWindow::processNextModule);
}

void MainWindow::processNextModule()
{
    if (!m_firmwareUpdate || !m_updating)
        return;
    const int row = nextSelectedRow();
    if (m_stopRequested || row < 0) {
        // Pause pressed while the batch waited for its next module (or nothing is
        // left to do): no run starts, so no run's end would ever release the window.
        if (m_stopRequested && row >= 0)
            appendLog(tr("Update paused. Press Flash or Compare to continue with the ticked modules."));
        endBatch();
        return;
    }
    m_firmwareUpdate->setCurrentCanId(cellText(row, CanIdColumn).toInt(nullptr, 0));
    m_firmwareUpdate->setCurrentDevice(cellText(row, DeviceColumn));
    m_firmwareUpdate->setHexFileName(m_ui->fileName->text());
    m_firmwareUpdate->setCompareMode(m_compareRequested);
    m_firmwareUpdate->startModule();
}

void MainWindow::status(int code)
{
    const int row = nextSelectedRow();
    const QString text = statusText(code);
    if (row >= 0) {
        setStatusCell(row, text);
        const QTableWidgetItem *header = m_ui->table->verticalHeaderItem(row);
        m_ui->updateStatus->setText(tr("%1: %2").arg(header ? header->text() : QString(), text));
    }
}

void MainWindow::updateFinished()
{
    if (!m_updating)
        return;
    int row = nextSelectedRow();
    if (row >= 0) {
        untick(row);
        setStatusCell(row, tr("Done"));
    }
    row = nextSelectedRow();
    if (row < 0) {
        appendLog(tr("Flashing completed for all selected modules."));
        endBatch();
        return;
    }
    setStatusCell(row, tr("Preparing..."));
    if (m_stopRequested) {
        // The batch rests here; the operator can start it again for the rows still ticked.
        appendLog(tr("Update paused. Press Flash or Compare to continue with the ticked modules."));
        endBatch();
        return;
    }
    appendLog(tr("Preparing update for next module..."));
    QTimer::singleShot(flashTimings().nextModuleDelayMs, Qt::PreciseTimer, this, &MainWindow::processNextModule);
}

void MainWindow::updateFailed(int failure, QString message)
{
    if (!m_updating)
        return;
    const int row = nextSelectedRow();
    if (row >= 0) {
        untick(row);
        setStatusCell(row, failure == FirmwareUpdate::Differences ? tr("Differences found") : tr("Failed"));
    }
    qCWarning(lcFlashWindow).noquote() << message;
    appendLog(tr("Batch stopped: %1").arg(message));
    endBatch();
}

void MainWindow::endBatch()
{
    m_updating = false;
    setBatchControlsEnabled(true);
    updateControls();
}

void MainWindow::on_pause_clicked() { m_stopRequested = true; }

// ---------------------------------------------------------------- event memory

// Points the event memory at the next ticked module; -1 when there is none
// (or the action is not allowed now).
int MainWindow::prepareEventMemory()
{
    if (refusedWhileUpdating())
        return -1;
    stopServiceRepeat();
    const int row = nextSelectedRow();
    if (row < 0 || !m_eventMemory)
        return -1;
    m_eventMemory->setDirectory(m_ui->eventDirectory->text());
    m_eventMemory->setInternalMemory(m_ui->internalMemory->isChecked());
    m_eventMemory->setCanId(cellText(row, CanIdColumn).toInt(nullptr, 0));
    m_eventMemory->setSerial(cellText(row, SerialColumn));
    return row;
}

void MainWindow::on_readStoredEvents_clicked()
{
    const int row = prepareEventMemory();
    if (row < 0)
        return;
    m_eventMemory->readSector();
    untick(row);
}

void MainWindow::on_clearStoredEvents_clicked()
{
    const int row = prepareEventMemory();
    if (row < 0)
        return;
    m_eventMemory->clearSectors();
    untick(row);
}

// ---------------------------------------------------------------- service actions

bool MainWindow::refusedWhileUpdating()
{
    if (!m_updating)
        return false;
    appendLog(tr("Not possible while a firmware update is running."));
    return true;
}

int MainWindow::serviceCanId(int row) const
{
    if (row < 0 || !m_firmwareUpdate)
        return 0;
    bool ok = false;
    const int canId = cellText(row, CanIdColumn).toInt(&ok, 0);
    return ok ? canId : 0;
}

void MainWindow::repeatServiceAction(void (MainWindow::*action)())
{
    m_serviceAction = action;
    m_serviceRepeat->start(flashTimings().repeatDelayMs);
}

void MainWindow::stopServiceRepeat()
{
    m_serviceRepeat->stop();
    m_serviceAction = nullptr;
}

void MainWindow::readMemory(bool wide)
{
    if (refusedWhileUpdating())
        return;
    stopServiceRepeat();
    const int row = nextSelectedRow();
    const int canId = serviceCanId(row);
    if (canId == 0)
        return;
    bool ok = false;
    const int address = m_ui->memoryAddress->text().toInt(&ok, 0);
    if (!ok)
        return;
    if (wide)
        m_firmwareUpdate->readMemory32(canId, quint16(address));
    else
        m_firmwareUpdate->readMemory16(canId, quint16(address));
    untick(row);
    repeatServiceAction(wide ? &MainWindow::on_read32Bit_clicked : &MainWindow::on_read16Bit_clicked);
}

void MainWindow::on_read16Bit_clicked() { readMemory(false); }

void MainWindow::on_read32Bit_clicked() { readMemory(true); }

void MainWindow::sendModuleWord(quint16 first, quint16 second, void (MainWindow::*repeat)())
{
    if (refusedWhileUpdating())
        return;
    stopServiceRepeat();
    const int row = nextSelectedRow();
    const int canId = serviceCanId(row);
    if (canId == 0)
        return;
    m_firmwareUpdate->writeModuleWord(canId, first, second);
    untick(row);
    repeatServiceAction(repeat);
}

void MainWindow::on_singleBoardMode_clicked()
{
    sendModuleWord(0x1011, 0x0003, &MainWindow::on_singleBoardMode_clicked);
}

void MainWindow::on_doubleBoardMode_clicked()
{
    sendModuleWord(0x1011, 0x8003, &MainWindow::on_doubleBoardMode_clicked);
}

void MainWindow::on_fineAdjustmentOn_clicked()
{
    sendModuleWord(0x1001, 0x1000, &MainWindow::on_fineAdjustmentOn_clicked);
}

void MainWindow::on_fineAdjustmentOff_clicked()
{
    sendModuleWord(0x1001, 0x0000, &MainWindow::on_fineAdjustmentOff_clicked);
}

void MainWindow::sendRawMessage(bool read)
{
    if (refusedWhileUpdating())
        return;
    stopServiceRepeat();
    const int row = nextSelectedRow();
    const int canId = serviceCanId(row);
    if (canId == 0)
        return;
    const QByteArray bytes = QByteArray::fromHex(m_ui->canMessage->text().toLatin1());
    m_firmwareUpdate->sendRawMessage(canId, read, bytes);
}

void MainWindow::on_writeMessage_clicked() { sendRawMessage(false); }

void MainWindow::on_readMessage_clicked() { sendRawMessage(true); }
