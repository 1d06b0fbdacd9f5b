#include "modulelistwidget.h"

#include "modulelistdelegate.h"

ModuleListWidget::ModuleListWidget(QWidget *parent) : QListWidget(parent)
{
    m_delegate = new ModuleListDelegate(this);
    setItemDelegate(m_delegate);
}

QListWidgetItem *ModuleListWidget::addModule(const QString &address, int serialNumber, const QIcon &icon)
{
    auto *item = new QListWidgetItem(icon, address);
    item->setData(Qt::UserRole, serialNumber);
    addItem(item);
    return item;
}
