#include "dialogautomatic.h"
#include "ui_dialogautomatic.h"

#include "cratesession.h"

DialogAutomatic::DialogAutomatic(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogAutomatic)
{
    m_ui->setupUi(this);
    showRunning();
    const auto announce = [this] { emit automaticSettingsChanged(settings()); };
    for (QDoubleSpinBox *box : {m_ui->sbUpper, m_ui->sbLower, m_ui->sbIncrement})
        connect(box, &QDoubleSpinBox::valueChanged, this, announce);
    for (QRadioButton *button : {m_ui->chkChannel, m_ui->chkModule, m_ui->chkSystem, m_ui->chkSpecial})
        connect(button, &QRadioButton::toggled, this, [announce](bool checked) {
            if (checked)
                announce();
        });
    connect(m_ui->checkType, &QComboBox::currentIndexChanged, this, announce);
}

DialogAutomatic::~DialogAutomatic()
{
    delete m_ui;
}

void DialogAutomatic::bind(CrateSession *session)
{
    connect(session, &CrateSession::autoTimerControlLog, this, &DialogAutomatic::log);
    connect(session, &CrateSession::autoTimerStopped, this, &DialogAutomatic::automaticTimerStopped);
    connect(this, &DialogAutomatic::automaticTimerEnabled, session, &CrateSession::autoTimerEnabled);
    connect(this, &DialogAutomatic::automaticTimerIntervalChanged, session, &CrateSession::autoTimerIntervalChanged);
    connect(this, &DialogAutomatic::automaticSettingsChanged, session, &CrateSession::setAutoTimerSettings);
    session->setAutoTimerSettings(settings());
    session->autoTimerIntervalChanged(m_ui->sbInterval->value() * 1000);
}

int DialogAutomatic::scope() const
{
    if (m_ui->chkChannel->isChecked())
        return AutoCycler::ScopeChannel;
    if (m_ui->chkModule->isChecked())
        return AutoCycler::ScopeModule;
    if (m_ui->chkSystem->isChecked())
        return AutoCycler::ScopeSystem;
    return AutoCycler::ScopeSpecial;
}

AutoCycler::Settings DialogAutomatic::settings() const
{
    AutoCycler::Settings s;
    s.upper = m_ui->sbUpper->value();
    s.lower = m_ui->sbLower->value();
    s.increment = m_ui->sbIncrement->value();
    s.scope = scope();
    s.checkType = m_ui->checkType->currentIndex() == 1 ? AutoCycler::CheckCurrentRange : AutoCycler::CheckVoltageSet;
    return s;
}

void DialogAutomatic::log(QString message)
{
    m_ui->txtLog->append(message);
}

void DialogAutomatic::automaticTimerStopped()
{
    m_running = false;
    showRunning();
}

void DialogAutomatic::on_btnStartStop_clicked()
{
    m_running = !m_running;
    showRunning();
    emit automaticTimerEnabled(m_running);
}

void DialogAutomatic::on_sbInterval_valueChanged(int arg1)
{
    emit automaticTimerIntervalChanged(arg1 * 1000);
}

void DialogAutomatic::showRunning()
{
    m_ui->btnStartStop->setText(m_running ? tr("Stop") : tr("Start"));
}
