#include "autocycler.h"

#include "basemodule.h"
#include "channelstatus.h"
#include "cratelog.h"
#include "logfilewriter.h"

#include <QDateTime>

#include <cmath>

namespace {
const QString kDateTimeFormat = QStringLiteral("yyyy-MM-dd;HH:mm:ss.zzz");
const QString kTimeFormat = QStringLiteral("HH:mm:ss");
} // namespace

AutoCycler::AutoCycler(QObject *parent)
    : QObject(parent)
    , m_logFileName(QStringLiteral("autologfile.csv"))
{
}

AutoCycler::~AutoCycler() = default;

int AutoCycler::checkDelayMs(int intervalMs)
{
    return qMax(MinimumCheckDelayMs, intervalMs - CheckLeadMs);
}

QString AutoCycler::floatText(float value, bool localised)
{
    // Six digits read best; more only where the float needs them to come back unchanged.
    int precision = 6;
    for (; precision < 9; ++precision) {
        if (QString::number(double(value), 'g', precision).toFloat() == value)
            break;
    }
    return localised ? LogFileWriter::numberLocale().toString(double(value), 'g', precision)
                     : QString::number(double(value), 'g', precision);
}

QList<BaseModule *> AutoCycler::scopeModules(const Target &target) const
{
    switch (m_settings.scope) {
    case ScopeChannel:
    case ScopeModule:
        return target.current ? QList<BaseModule *>{target.current} : QList<BaseModule *>{};
    case ScopeSystem:
        return target.modules;
    default:
        return target.modules.mid(0, SpecialModuleCount);
    }
}

bool AutoCycler::step()
{
    const Target target = m_targetSource ? m_targetSource() : Target{};
    if (!target.current || target.channel < 0)
        return false;
    if (!m_logFile && !openLog())
        return false;

    float v = currentSetValue(target.current, target.channel);
    if (!m_ascending) {
        v = float(double(v) - m_settings.increment);
        if (v <= m_settings.lower) {
            v = float(m_settings.lower);
            m_ascending = true;
        }
    } else {
        v = float(double(v) + m_settings.increment);
        if (v >= m_settings.upper) {
            v = float(m_settings.upper);
            m_ascending = false;
        }
    }
    m_lastDemand = v;

    if (m_settings.scope == ScopeChannel)
        target.current->setChannelVoltageSet(target.channel, v);
    else
        for (BaseModule *module : scopeModules(target))
            module->setAllChannelsVoltageSet(v);

    qCDebug(lcCrate).noquote() << QDateTime::currentDateTime().toString(kDateTimeFormat) << "autoTimer Vset" << v;
    emit stepped(v);
    return true;
}

int AutoCycler::check()
{
    qCDebug(lcCrate) << "autoTimerControl Vset" << m_lastDemand;
    const Target target = m_targetSource ? m_targetSource() : Target{};
    int errors = 0;
    switch (m_settings.scope) {
    case ScopeChannel:
        if (target.current && target.channel >= 0)
        {
            currentSetValue(target.current, target.channel);
            errors += checkChannel(target.current, target.channel,
                                   QDateTime::currentDateTime().toString(kTimeFormat));
        }
        break;
    case ScopeModule:
        if (!target.current)
            break;
        if (m_settings.checkType == CheckVoltageSet)
            errors += checkModule(target.current);
        else
            checkCurrentRange(target.current);
        break;
    default:
        for (BaseModule *module : scopeModules(target)) {
            const int channels = module->channelNumber();
            for (int channel = 0; channel < channels; ++channel)
                errors += checkChannel(module, channel, QDateTime::currentDateTime().toString(kTimeFormat));
        }
        break;
    }
    qCDebug(lcCrate).noquote() << QDateTime::currentDateTime().toString(kTimeFormat) << "errors:" << errors;
    emit checked(errors);
    return errors;
}

float AutoCycler::currentSetValue(BaseModule *module, int channel)
{
    // A module reads all its channels when asked for channel 0 and answers the
    // others from that reading: ask for channel 0 first so the value is fresh.
    const float first = module->channelVoltageSet(0);
    return channel == 0 ? first : module->channelVoltageSet(channel);
}

int AutoCycler::checkChannel(BaseModule *module, int channel, const QString &when)
{
    const float vset = module->channelVoltageSet(channel);
    if (std::fabs(vset - m_lastDemand) < DemandTolerance || !module->connected())
        return 0;
    emit log(tr("%1: %2.%3.VSet = %4 (demand was %5)")
                 .arg(when, module->address())
                 .arg(channel)
                 .arg(floatText(vset), floatText(m_lastDemand)));
    return 1;
}

int AutoCycler::checkModule(BaseModule *module)
{
    const QString now = QDateTime::currentDateTime().toString(kDateTimeFormat);
    QString line = QStringLiteral("%1;%2;").arg(now, floatText(m_lastDemand, true));
    int errors = 0;
    const int channels = module->channelNumber();
    for (int channel = 0; channel < channels; ++channel) {
        const float vset = module->channelVoltageSet(channel);
        const float vmeas = module->channelVoltageMeasure(channel);
        line += QStringLiteral("%1;%2;%3;")
                    .arg(floatText(vset, true), floatText(vmeas, true), floatText(m_lastDemand - vmeas, true));
        if (std::fabs(vset - m_lastDemand) >= DemandTolerance && module->connected()) {
            const QString message = tr("%1: %2.%3.VSet = %4 (demand was %5)")
                                         .arg(now, module->address())
                                         .arg(channel)
                                         .arg(floatText(vset), floatText(m_lastDemand));
            qCDebug(lcCrate).noquote() << message;
            emit log(message);
            ++errors;
        }
    }
    writeLogLine(line.toLatin1());
    return errors;
}

void AutoCycler::checkCurrentRange(BaseModule *module)
{
    const int channels = module->channelNumber();
    if (channels > 0)
        module->channelCurrentMeasure(0);
    for (int channel = 0; channel < channels; ++channel) {
        const ChannelStatus status = module->channelStatus(channel);
        if (status.isLCR())
            continue;
        emit log(tr("Channel %1: High Range Imeas = %2, Status = %3 (%4)")
                     .arg(channel)
                     .arg(floatText(module->channelCurrentMeasure(channel)))
                     .arg(uint(status.toWord()), 4, 16, QLatin1Char('0'))
                     .arg(QDateTime::currentDateTime().toString(kTimeFormat)));
    }
}

bool AutoCycler::openLog()
{
    auto file = std::make_unique<LogFileWriter>();
    if (!file->open(m_logFileName, LogFileWriter::NewlineOnly)) {
        emit failed(tr("Can not open the log file '%1' for writing: %2. The automatic timer has stopped.")
                        .arg(m_logFileName, file->errorString()));
        return false;
    }
    m_logFile = std::move(file);
    return true;
}

void AutoCycler::writeLogLine(const QByteArray &line)
{
    if (!m_logFile || !m_logFile->isOpen())
        return;
    if (m_logFile->writeLine(line))
        return;
    const QString reason = m_logFile->errorString();
    // The next start opens the file afresh.
    m_logFile.reset();
    emit failed(tr("Writing the log file '%1' failed: %2. The automatic timer has stopped; "
                   "the lines written before are kept.")
                    .arg(m_logFileName, reason));
}

void AutoCycler::closeLog()
{
    m_logFile.reset();
}
