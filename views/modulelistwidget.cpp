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

int ModuleListWidget::serialNumberAt(int row) const
{
    const QListWidgetItem *entry = item(row);
    return entry ? entry->data(Qt::UserRole).toInt() : -1;
}

int ModuleListWidget::rowOfSerialNumber(int serialNumber) const
{
    for (int row = 0; row < count(); ++row) {
        if (item(row)->data(Qt::UserRole).toInt() == serialNumber)
            return row;
    }
    return -1;
}
