#include "dialogwriteprofile.h"
#include "ui_dialogwriteprofile.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QShowEvent>

DialogWriteProfile::DialogWriteProfile(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogWriteProfile)
{
    m_ui->setupUi(this);
    // The log lines line their values up with tabs of eight characters.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_ui->txtLog->setFont(fixed);
    m_ui->txtLog->setTabStopDistance(8 * QFontMetricsF(fixed).horizontalAdvance(QLatin1Char(' ')));
}

DialogWriteProfile::~DialogWriteProfile()
{
    delete m_ui;
}

QString DialogWriteProfile::logText() const
{
    return m_ui->txtLog->toPlainText();
}

void DialogWriteProfile::addToLog(QString line)
{
    // appendPlainText starts a new paragraph, which is the line break.
    m_ui->txtLog->appendPlainText(line);
}

void DialogWriteProfile::showEvent(QShowEvent *event)
{
    // The log belongs to one load; the dialog is shown before the file is read.
    if (!event->spontaneous())
        m_ui->txtLog->clear();
    QDialog::showEvent(event);
}
