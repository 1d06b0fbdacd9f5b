#include "dialoginhibit.h"
#include "ui_dialoginhibit.h"

DialogInhibit::DialogInhibit(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogInhibit)
{
    m_ui->setupUi(this);
    setChannel(-1);
    setAction(0);
}

DialogInhibit::~DialogInhibit()
{
    delete m_ui;
}

void DialogInhibit::setChannel(int channel)
{
    m_channel = channel;
    m_ui->description->setText(
        channel < 0 ? tr("When an External Inhibit on any channel occurs, perform the following action.")
                    : tr("When an External Inhibit on channel %1 occurs, perform the following action.").arg(channel));
}

void DialogInhibit::setAction(int action)
{
    switch (action) {
    case 1:
        m_ui->rampDownChannel->setChecked(true);
        break;
    case 2:
        m_ui->shutDownChannel->setChecked(true);
        break;
    case 3:
        m_ui->shutDownModule->setChecked(true);
        break;
    default:
        m_ui->ignoreFailure->setChecked(true);
        break;
    }
}

int DialogInhibit::action() const
{
    if (m_ui->rampDownChannel->isChecked())
        return 1;
    if (m_ui->shutDownChannel->isChecked())
        return 2;
    if (m_ui->shutDownModule->isChecked())
        return 3;
    return 0;
}
