#pragma once
// The one dialog in which the operator types a crate address: an editable list
// of recent addresses with IPv4 validation, a warning when the address is held
// by another program, and the community names for information.
//
// Object names of the form: chkLocalServer (hidden), lblText, cmbAddress,
// lblWarning, grpCommunity (lblReadCommunity, lblWriteCommunity), btnOk, btnCancel.

#include <QDialog>
#include <QStringList>

namespace Ui
{
class IpV4InputDialog;
}

class IpV4InputDialog : public QDialog
{
    Q_OBJECT

public:
    explicit IpV4InputDialog(QWidget *parent = nullptr);
    ~IpV4InputDialog() override;

    void setLabelText(const QString &text);
    QString labelText() const;

    // Normalises the address and puts it into the edit field. The dialog never
    // warns about the address it was opened with.
    void setAddress(const QString &address);
    // The edit field's text, normalised.
    QString address() const;

    // Addresses held by some process; the current one is left out.
    void setLockedAddresses(const QStringList &addresses);
    QStringList lockedAddresses() const { return m_lockedAddresses; }

    QString warningText() const;
    bool isOkEnabled() const;

    // The recent-address list of the operator store, in the store's key order.
    static QStringList recentAddresses();
    static constexpr int MaxRecentAddresses = 11;
    static const char RecentGroup[];
    static const char ReadCommunity[];
    static const char WriteCommunity[];

public slots:
    // Saves the recent-address list, then accepts.
    void accept() override;
    void addressChanged();
    void localServerStateChanged(int newState);

private:
    void saveRecentAddresses();

    Ui::IpV4InputDialog *m_ui;
    QStringList m_lockedAddresses;
    QString m_openedWith;
};
