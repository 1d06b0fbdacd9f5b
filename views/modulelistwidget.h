#pragma once
#include <QListWidget>

class ModuleListDelegate;

// The modules found in the crate, one item per module in discovery order:
// display text = the module's address, Qt::UserRole = its serial number, later
// replaced by the main window with the module's connection state text.
class ModuleListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit ModuleListWidget(QWidget *parent = nullptr);

    // Convenience for the main window: appends one module's item.
    QListWidgetItem *addModule(const QString &address, int serialNumber, const QIcon &icon = QIcon());

private:
    ModuleListDelegate *m_delegate = nullptr;
};
