#include "dialogcrate.h"
#include "ui_dialogcrate.h"

#include "cratesession.h"
#include "messagebox.h"
#include "product.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPalette>

namespace {
// A supply above these with the main power off means a voltage is present that
// should not be: the field turns red.
constexpr float kSupply5Threshold = 0.5f;
constexpr float kSupply24Threshold = 2.0f;
} // namespace

DialogCrate::DialogCrate(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogCrate)
{
    m_ui->setupUi(this);
    m_ui->setFanSpeed->setEnabled(false);
    colourSupplies();
    renewPowerButton();
}

DialogCrate::~DialogCrate()
{
    delete m_ui;
}

void DialogCrate::bind(CrateSession *session)
{
    connect(session, &CrateSession::updateCrateAddress, this, &DialogCrate::updateCrateAddress);
    connect(session, &CrateSession::updateCrateFirmwareRelease, this, &DialogCrate::updateFirmwareRelease);
    connect(session, &CrateSession::updateCrateSupply5V, this, &DialogCrate::updateSupply5V);
    connect(session, &CrateSession::updateCrateSupply24V, this, &DialogCrate::updateSupply24V);
    connect(session, &CrateSession::updateCrateBattery24V, this, &DialogCrate::updateBattery24V);
    connect(session, &CrateSession::updateCrateTemperatureBackPlane, this, &DialogCrate::updateTemperatureBackPlane);
    connect(session, &CrateSession::updateCrateTemperaturePowerSupply, this,
            &DialogCrate::updateTemperaturePowerSupply);
    connect(session, &CrateSession::updateCrateFanSpeed, this, &DialogCrate::updateCrateFanSpeed);
    connect(session, &CrateSession::updateCrateStatus, this, &DialogCrate::updateStatus);
    connect(session, &CrateSession::updateCrateEventStatus, this, &DialogCrate::updateEventStatus);
    connect(session, &CrateSession::updateCratePowerOn, this, &DialogCrate::updatePowerOn);
    connect(this, &DialogCrate::setPowerOn, session, &CrateSession::setCratePowerOn);
    connect(this, &DialogCrate::setFanSpeed, session, &CrateSession::setCrateFanSpeed);
    connect(this, &DialogCrate::clearEvents, session, &CrateSession::clearCrateEvents);
    session->addViewer(CrateSession::CrateFeed, this);
}

void DialogCrate::setFanSpeedEnabled(bool enabled)
{
    m_ui->setFanSpeed->setEnabled(enabled);
}

void DialogCrate::clearCrateList()
{
    m_ui->crateList->clear();
}

int DialogCrate::serialOf(const QListWidgetItem *item)
{
    if (!item)
        return 0;
    const QString text = item->text();
    const int lineBreak = text.indexOf(QLatin1Char('\n'));
    return (lineBreak < 0 ? text : text.left(lineBreak)).toInt(nullptr, 10);
}

int DialogCrate::currentSerialNumber() const
{
    return serialOf(m_ui->crateList->currentItem());
}

QListWidgetItem *DialogCrate::findOrInsert(int serialNumber)
{
    QListWidget *list = m_ui->crateList;
    QListWidgetItem *found = nullptr;
    int row = 0;
    for (; row < list->count(); ++row) {
        const int serial = serialOf(list->item(row));
        if (serial == serialNumber) {
            found = list->item(row);
            break;
        }
        if (serial > serialNumber)
            break;
    }
    if (!found) {
        found = new QListWidgetItem(QString::number(serialNumber));
        list->insertItem(row, found);
    }
    if (list->count() == 1)
        list->setCurrentRow(0);
    return found;
}

bool DialogCrate::isCurrentCrate(int serialNumber)
{
    if (serialNumber == 0)
        return false;
    return findOrInsert(serialNumber) == m_ui->crateList->currentItem();
}

void DialogCrate::setField(QLineEdit *field, const QString &text)
{
    field->setText(text);
}

void DialogCrate::updateCrateAddress(int serialNumber, QString address)
{
    if (serialNumber == 0)
        return;
    QListWidgetItem *item = findOrInsert(serialNumber);
    if (!item->text().endsWith(address))
        item->setText(QString::number(serialNumber) + QLatin1Char('\n') + address);
}

void DialogCrate::updateFirmwareRelease(int serialNumber, QString release)
{
    if (isCurrentCrate(serialNumber))
        setField(m_ui->txtFirmware, release);
}

void DialogCrate::updateSupply5V(int serialNumber, float value)
{
    if (!isCurrentCrate(serialNumber))
        return;
    m_supply5 = value;
    setField(m_ui->txtSupply5, QString::number(value, 'f', 1));
    colourSupplies();
}

void DialogCrate::updateSupply24V(int serialNumber, float value)
{
    if (!isCurrentCrate(serialNumber))
        return;
    m_supply24 = value;
    setField(m_ui->txtSupply24, QString::number(value, 'f', 1));
    colourSupplies();
}

void DialogCrate::updateBattery24V(int serialNumber, float value)
{
    if (isCurrentCrate(serialNumber))
        setField(m_ui->txtBattery24, QString::number(value, 'f', 1));
}

void DialogCrate::updateTemperatureBackPlane(int serialNumber, float value)
{
    if (isCurrentCrate(serialNumber))
        setField(m_ui->txtTempBackPlane, QString::number(value, 'f', 1));
}

void DialogCrate::updateTemperaturePowerSupply(int serialNumber, float value)
{
    if (isCurrentCrate(serialNumber))
        setField(m_ui->txtTempPowerSupply, QString::number(value, 'f', 1));
}

void DialogCrate::updateCrateFanSpeed(int serialNumber, float value)
{
    if (isCurrentCrate(serialNumber))
        setField(m_ui->txtFan1, QString::number(value, 'f', 0));
}

void DialogCrate::updateStatus(int serialNumber, int status)
{
    if (isCurrentCrate(serialNumber))
        setField(m_ui->txtStatus, QString::number(status));
}

void DialogCrate::updateEventStatus(int serialNumber, int eventStatus)
{
    if (isCurrentCrate(serialNumber))
        setField(m_ui->txtEventStatus, QString::number(eventStatus));
}

void DialogCrate::updatePowerOn(int serialNumber, bool on)
{
    if (isCurrentCrate(serialNumber)) {
        m_powerOn = on;
        // The supply colours depend on the power state: a change of state alone
        // must not leave a stale warning colour behind.
        colourSupplies();
    }
    renewPowerButton();
}

void DialogCrate::colourSupplies()
{
    auto colour = [](QLineEdit *field, bool warn) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::Base, warn ? QColor(Qt::red) : QColor(Qt::white));
        field->setPalette(palette);
    };
    colour(m_ui->txtSupply5, !m_powerOn && m_supply5 > kSupply5Threshold);
    colour(m_ui->txtSupply24, !m_powerOn && m_supply24 > kSupply24Threshold);
}

void DialogCrate::renewPowerButton()
{
    m_ui->btnPowerOn->setText(m_powerOn ? tr("O&ff") : tr("&On"));
}

void DialogCrate::on_btnPowerOn_clicked()
{
    const int serial = currentSerialNumber();
    // With no crate listed nothing would be switched; inverting the stored
    // state anyway would make the button report a change that never happened.
    if (serial == 0)
        return;
    if (m_powerOn) {
        const auto answer = MessageBox::question(this, QString::fromLatin1(Product::Title),
                                                 tr("Power off the crate with serial number %1?").arg(serial),
                                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }
    m_powerOn = !m_powerOn;
    emit setPowerOn(serial, m_powerOn);
    renewPowerButton();
}

void DialogCrate::on_setFanSpeed_clicked()
{
    bool ok = false;
    const int speed = MessageBox::getInt(this, QString::fromLatin1(Product::Title),
                                         tr("Input a new fan rotation speed (0...3200 RPM):\n\n"
                                            "Note: the values 1...1199 are not allowed."),
                                         m_ui->txtFan1->text().toInt(), 0, 3200, 100, &ok);
    if (ok)
        emit setFanSpeed(currentSerialNumber(), speed);
}

void DialogCrate::on_btnClear_clicked()
{
    emit clearEvents(currentSerialNumber());
}

void DialogCrate::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_ui->crateList->setFocus();
}
