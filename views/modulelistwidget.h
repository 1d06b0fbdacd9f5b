#pragma once
#include <QListWidget>

class ModuleListDelegate;

// The modules found in the crate, one item per module in discovery order:
// display text = the module's address, Qt::UserRole = its serial number.
class ModuleListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit ModuleListWidget(QWidget *parent = nullptr);

    // Convenience for the main window: appends one module's item.
    QListWidgetItem *addModule(const QString &address, int serialNumber, const QIcon &icon = QIcon());
    // Serial number of the item in row, -1 when there is none.
    int serialNumberAt(int row) const;
    // Row of the module with that serial number, -1 when it is not listed.
    int rowOfSerialNumber(int serialNumber) const;

private:
    ModuleListDelegate *m_delegate = nullptr;
};
