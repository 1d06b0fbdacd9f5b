#include "ipv4inputdialog.h"
#include "ui_ipv4inputdialog.h"

#include "ipv4validator.h"
#include "settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

const char IpV4InputDialog::RecentGroup[] = "RecentIpAddresses";
const char IpV4InputDialog::ReadCommunity[] = "kestra";
const char IpV4InputDialog::WriteCommunity[] = "mavo";

IpV4InputDialog::IpV4InputDialog(QWidget *parent) : QDialog(parent), m_ui(new Ui::IpV4InputDialog)
{
    m_ui->setupUi(this);
    // Only its enabling rule is kept; the operator never sees it.
    m_ui->chkLocalServer->setChecked(false);
    m_ui->chkLocalServer->setVisible(false);
    m_ui->lblReadCommunity->setText(tr("SNMP read access password (%1):").arg(QLatin1String(ReadCommunity)));
    m_ui->lblWriteCommunity->setText(
        tr("SNMP write access password (%1):").arg(QLatin1String(WriteCommunity)));
    m_ui->cmbAddress->setValidator(new IpV4Validator(this));
    m_ui->cmbAddress->addItems(recentAddresses());
    m_openedWith = address();

    connect(m_ui->chkLocalServer, &QCheckBox::stateChanged, this, &IpV4InputDialog::localServerStateChanged);
    connect(m_ui->cmbAddress, &QComboBox::editTextChanged, this, &IpV4InputDialog::addressChanged);
    connect(m_ui->btnOk, &QPushButton::clicked, this, &IpV4InputDialog::accept);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &IpV4InputDialog::reject);
    addressChanged();
}

IpV4InputDialog::~IpV4InputDialog()
{
    delete m_ui;
}

void IpV4InputDialog::setLabelText(const QString &text)
{
    m_ui->lblText->setText(text);
    // A longer text (the address-lock question) needs more room than the form's default.
    adjustSize();
}

QString IpV4InputDialog::labelText() const
{
    return m_ui->lblText->text();
}

void IpV4InputDialog::setAddress(const QString &address)
{
    m_openedWith = IpV4Validator::normalized(address);
    m_lockedAddresses.removeAll(m_openedWith);
    m_ui->cmbAddress->setEditText(m_openedWith);
    addressChanged();
}

QString IpV4InputDialog::address() const
{
    return IpV4Validator::normalized(m_ui->cmbAddress->currentText());
}

void IpV4InputDialog::setLockedAddresses(const QStringList &addresses)
{
    m_lockedAddresses = addresses;
    m_lockedAddresses.removeAll(m_ui->cmbAddress->currentText());
    m_lockedAddresses.removeAll(address());
    m_lockedAddresses.removeAll(m_openedWith);
    addressChanged();
}

QString IpV4InputDialog::warningText() const
{
    return m_ui->lblWarning->text();
}

bool IpV4InputDialog::isOkEnabled() const
{
    return m_ui->btnOk->isEnabled();
}

void IpV4InputDialog::addressChanged()
{
    const QString text = m_ui->cmbAddress->currentText();
    const bool acceptable = IpV4Validator::isAcceptable(text);
    m_ui->btnOk->setEnabled(acceptable || m_ui->chkLocalServer->isChecked());
    m_ui->lblWarning->clear();
    // Compared as the dialog returns it: "10.0.0.01" connects to "10.0.0.1" just the same.
    if (acceptable && m_lockedAddresses.contains(IpV4Validator::normalized(text)))
        m_ui->lblWarning->setText(QStringLiteral("<font color=\"red\"><strong>") +
                                  tr("Warning: This address may already be in use!") +
                                  QStringLiteral("</strong></font>"));
}

void IpV4InputDialog::localServerStateChanged(int newState)
{
    Q_UNUSED(newState)
    addressChanged();
}

QStringList IpV4InputDialog::recentAddresses()
{
    auto store = Settings::operatorStore();
    store->beginGroup(QLatin1String(RecentGroup));
    QStringList addresses;
    // The store lists keys sorted as text: "10" follows "1".
    for (const QString &key : store->childKeys())
        addresses.append(store->value(key).toString());
    store->endGroup();
    return addresses;
}

void IpV4InputDialog::saveRecentAddresses()
{
    QStringList list;
    const QString current = address();
    if (!current.isEmpty())
        list.append(current);
    for (const QString &stored : recentAddresses()) {
        if (list.size() >= MaxRecentAddresses)
            break;
        if (!stored.isEmpty() && !list.contains(stored))
            list.append(stored);
    }
    auto store = Settings::operatorStore();
    store->beginGroup(QLatin1String(RecentGroup));
    store->remove(QString()); // the whole group
    for (int i = 0; i < list.size(); ++i)
        store->setValue(QString::number(i), list.at(i));
    store->endGroup();
    store->sync();
}

void IpV4InputDialog::accept()
{
    saveRecentAddresses();
    QDialog::accept();
}
