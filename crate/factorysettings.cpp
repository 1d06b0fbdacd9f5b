#include "factorysettings.h"

#include "basemodule.h"
#include "cratelog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QThread>

#include <cmath>

namespace {

QString hexWord(quint32 value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString fixed(float value, int decimals) { return QString::asprintf("%.*f", decimals, double(value)); }

// Reads one key of a profile strictly: a missing key or a value that does not
// parse is an error naming "group.key", never a silent 0 that would later be
// stored in the module.
class ProfileReader
{
public:
    explicit ProfileReader(QSettings &settings) : m_settings(settings) {}

    QString error() const { return m_error; }
    bool ok() const { return m_error.isEmpty(); }

    quint32 word(const QString &group, const char *key, quint32 maximum)
    {
        const QString text = value(group, key);
        if (!ok())
            return 0;
        bool parsed = false;
        const qulonglong v = text.toULongLong(&parsed, 0);
        if (!parsed || v > maximum)
            return bad(group, key, text), 0;
        return quint32(v);
    }
    quint32 number(const QString &group, const char *key)
    {
        const QString text = value(group, key);
        if (!ok())
            return 0;
        bool parsed = false;
        const uint v = text.toUInt(&parsed);
        if (!parsed)
            return bad(group, key, text), 0;
        return v;
    }
    float real(const QString &group, const char *key)
    {
        const QString text = value(group, key);
        if (!ok())
            return 0;
        bool parsed = false;
        const float v = text.toFloat(&parsed);
        if (!parsed || !std::isfinite(v))
            return bad(group, key, text), 0;
        return v;
    }

private:
    QString value(const QString &group, const char *key)
    {
        if (!ok())
            return QString();
        const QString path = group + QLatin1Char('/') + QLatin1String(key);
        const QVariant v = m_settings.value(path);
        if (!v.isValid()) {
            m_error = FactorySettings::tr("%1.%2 is missing").arg(group, QLatin1String(key));
            return QString();
        }
        if (v.typeId() == QMetaType::QStringList) {
            bad(group, key, v.toStringList().join(QLatin1Char(',')));
            return QString();
        }
        return v.toString().trimmed();
    }
    void bad(const QString &group, const char *key, const QString &text)
    {
        m_error = FactorySettings::tr("%1.%2 has the value \"%3\", which is not valid")
                      .arg(group, QLatin1String(key), text);
    }

    QSettings &m_settings;
    QString m_error;
};

} // namespace

FactorySettings::FactorySettings(QObject *parent) : QObject(parent)
{
    wait = [](int milliseconds) {
        QCoreApplication::processEvents();
        QThread::msleep(ulong(milliseconds));
    };
}

int FactorySettings::poll(int count, const std::function<bool()> &done)
{
    for (int left = count; left > 0; --left) {
        if (done())
            return left;
        if (wait)
            wait(1);
    }
    return 0;
}

bool FactorySettings::fail(const QString &text)
{
    qCDebug(lcCrate).noquote() << text;
    if (inform)
        inform(text);
    return false;
}

bool FactorySettings::save(BaseModule *module, const QString &fileName, QString *error)
{
    QSettings settings(fileName, QSettings::IniFormat);
    // A profile saved over an older one of a larger module must not keep its channels.
    settings.clear();

    settings.beginGroup(QStringLiteral("Module"));
    settings.setValue(QStringLiteral("Control"), QStringLiteral("0x") + hexWord(module->control().toWord(), 4));
    settings.setValue(QStringLiteral("EventMask"), QStringLiteral("0x") + hexWord(module->eventMask().toWord(), 4));
    settings.setValue(QStringLiteral("EventChannelMask"), QStringLiteral("0x") + hexWord(module->eventChannelMask(), 8));
    settings.setValue(QStringLiteral("EventGroupMask"), QStringLiteral("0x") + hexWord(module->eventGroupMask(), 8));
    settings.setValue(QStringLiteral("RestartTime"), QString::number(module->restartTime()));
    settings.setValue(QStringLiteral("AdcSamples"), QString::number(module->adcSamplesPerSecond()));
    settings.setValue(QStringLiteral("DigitalFilter"), QString::number(module->digitalFilter()));
    settings.setValue(QStringLiteral("VoltageRampSpeed"), fixed(module->voltageRampSpeed(), 3));
    settings.setValue(QStringLiteral("CurrentRampSpeed"), fixed(module->currentRampSpeed(), 3));
    settings.endGroup();

    const int channels = module->channelNumber();
    for (int ch = 0; ch < channels; ++ch) {
        settings.beginGroup(QStringLiteral("Channel%1").arg(ch));
        settings.setValue(QStringLiteral("Control"), QStringLiteral("0x") + hexWord(module->channelControl(ch).toWord(), 4));
        settings.setValue(QStringLiteral("EventMask"),
                          QStringLiteral("0x") + hexWord(module->channelEventMask(ch).toWord(), 4));
        settings.setValue(QStringLiteral("VoltageSet"), fixed(module->channelVoltageSet(ch), 3));
        settings.setValue(QStringLiteral("CurrentSet"), fixed(module->channelCurrentSet(ch), 6));
        settings.setValue(QStringLiteral("VoltageIlkMinSet"), fixed(module->channelVoltageInterlockMinSet(ch), 3));
        settings.setValue(QStringLiteral("VoltageIlkMaxSet"), fixed(module->channelVoltageInterlockMaxSet(ch), 3));
        settings.setValue(QStringLiteral("CurrentIlkMinSet"), fixed(module->channelCurrentInterlockMinSet(ch), 6));
        settings.setValue(QStringLiteral("CurrentIlkMaxSet"), fixed(module->channelCurrentInterlockMaxSet(ch), 6));
        settings.setValue(QStringLiteral("VoltageMaxSet"), fixed(module->channelVoltageNominal(ch), 3));
        settings.setValue(QStringLiteral("CurrentMaxSet"), fixed(module->channelCurrentNominal(ch), 6));
        settings.endGroup();
    }

    settings.sync();
    if (settings.status() != QSettings::NoError) {
        if (error)
            *error = tr("The profile could not be written to %1.").arg(QDir::toNativeSeparators(fileName));
        return false;
    }
    return true;
}

bool FactorySettings::readProfile(const QString &fileName, int channels, ModuleProfile *profile, QString *error)
{
    auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo info(fileName);
    if (!info.isFile() || !info.isReadable())
        return refuse(tr("%1 is not a readable file").arg(QDir::toNativeSeparators(fileName)));
    QSettings settings(fileName, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return refuse(tr("%1 is not a profile file").arg(QDir::toNativeSeparators(fileName)));

    ModuleProfile p;
    ProfileReader r(settings);
    const QString module = QStringLiteral("Module");
    p.control = r.word(module, "Control", 0xFFFF);
    p.eventMask = r.word(module, "EventMask", 0xFFFF);
    p.eventChannelMask = r.word(module, "EventChannelMask", 0xFFFFFFFFu);
    p.eventGroupMask = r.word(module, "EventGroupMask", 0xFFFFFFFFu);
    p.restartTime = r.number(module, "RestartTime");
    p.adcSamples = r.number(module, "AdcSamples");
    p.digitalFilter = r.number(module, "DigitalFilter");
    p.voltageRampSpeed = r.real(module, "VoltageRampSpeed");
    p.currentRampSpeed = r.real(module, "CurrentRampSpeed");
    if (!r.ok())
        return refuse(r.error());
    auto log = [this](const QString &line) { emit addLineToWriteProfileLog(line); };
    log(QStringLiteral("%1.Control\t\t0x%2").arg(module, hexWord(p.control, 4)));
    log(QStringLiteral("%1.EventMask\t\t0x%2").arg(module, hexWord(p.eventMask, 4)));
    log(QStringLiteral("%1.EventChannelMask\t\t0x%2").arg(module, hexWord(p.eventChannelMask, 8)));
    log(QStringLiteral("%1.EventGroupMask\t\t0x%2").arg(module, hexWord(p.eventGroupMask, 8)));
    log(QStringLiteral("%1.RestartTime (ms)\t\t%2").arg(module).arg(p.restartTime));
    log(QStringLiteral("%1.AdcSamples (1/s)\t\t%2").arg(module).arg(p.adcSamples));
    log(QStringLiteral("%1.DigitalFilter\t\t%2").arg(module).arg(p.digitalFilter));
    log(QStringLiteral("%1.VoltageRampSpeed (%)\t%2").arg(module, fixed(p.voltageRampSpeed, 3)));
    log(QStringLiteral("%1.CurrentRampSpeed (%)\t%2").arg(module, fixed(p.currentRampSpeed, 3)));

    for (int ch = 0; ch < channels; ++ch) {
        const QString g = QStringLiteral("Channel%1").arg(ch);
        ModuleProfile::Channel c;
        c.control = r.word(g, "Control", 0xFFFF);
        c.eventMask = r.word(g, "EventMask", 0xFFFF);
        c.voltageSet = r.real(g, "VoltageSet");
        c.currentSet = r.real(g, "CurrentSet");
        c.voltageIlkMinSet = r.real(g, "VoltageIlkMinSet");
        c.voltageIlkMaxSet = r.real(g, "VoltageIlkMaxSet");
        c.currentIlkMinSet = r.real(g, "CurrentIlkMinSet");
        c.currentIlkMaxSet = r.real(g, "CurrentIlkMaxSet");
        c.voltageMaxSet = r.real(g, "VoltageMaxSet");
        c.currentMaxSet = r.real(g, "CurrentMaxSet");
        if (!r.ok())
            return refuse(r.error());
        log(QStringLiteral("%1.Control\t\t0x%2").arg(g, hexWord(c.control, 4)));
        log(QStringLiteral("%1.EventMask\t\t0x%2").arg(g, hexWord(c.eventMask, 4)));
        log(QStringLiteral("%1.VoltageSet (V)\t\t%2").arg(g, fixed(c.voltageSet, 3)));
        log(QStringLiteral("%1.CurrentSet (A)\t\t%2").arg(g, fixed(c.currentSet, 6)));
        log(QStringLiteral("%1.VoltageIlkMinSet (V)\t%2").arg(g, fixed(c.voltageIlkMinSet, 3)));
        log(QStringLiteral("%1.VoltageIlkMaxSet (V)\t%2").arg(g, fixed(c.voltageIlkMaxSet, 3)));
        log(QStringLiteral("%1.CurrentIlkMinSet (A)\t%2").arg(g, fixed(c.currentIlkMinSet, 6)));
        log(QStringLiteral("%1.CurrentIlkMaxSet (A)\t%2").arg(g, fixed(c.currentIlkMaxSet, 6)));
        log(QStringLiteral("%1.VoltageMaxSet (V)\t\t%2").arg(g, fixed(c.voltageMaxSet, 3)));
        log(QStringLiteral("%1.CurrentMaxSet (A)\t%2").arg(g, fixed(c.currentMaxSet, 6)));
        p.channels.append(c);
    }
    *profile = p;
    return true;
}

bool FactorySettings::writeProfile(BaseModule *module, const QString &fileName, const std::function<bool()> &confirm)
{
    emit addLineToWriteProfileLog(QStringLiteral("Using profile from file %1\n").arg(fileName));
    ModuleProfile profile;
    QString error;
    if (!readProfile(fileName, module->channelNumber(), &profile, &error))
        return fail(tr("The profile %1 was not loaded: %2.\nNothing was written to the module.")
                        .arg(QDir::toNativeSeparators(fileName), error));
    if (confirm && !confirm())
        return false;
    return writeProfile(module, profile);
}

bool FactorySettings::waitForStop(BaseModule *module, int count, const char *debugName, const QString &failure)
{
    const int left = poll(count, [module] { return module->status().isSTOP(); });
    qCDebug(lcCrate).noquote() << QString::asprintf("%s: timeout = %d", debugName, left);
    return left > 0 || fail(failure);
}

// Reads a channel value back the way the module refreshes its caches: channel 0
// reads every channel at once, so a check of a later channel first reads channel 0.
template <typename Read> static auto readBack(int channel, Read read)
{
    if (channel != 0)
        read(0);
    return read(channel);
}

bool FactorySettings::verifyChannelNominals(BaseModule *module, int ch, float voltage, float current, bool reset)
{
    module->setChannelVoltageNominal(ch, voltage);
    float readV = 0;
    int left = poll(200, [&] {
        readV = readBack(ch, [module](int c) { return module->channelVoltageNominal(c); });
        return std::fabs(double(readV) - double(voltage)) <= 1e-12;
    });
    qCDebug(lcCrate).noquote() << QString::asprintf("Vnominal[%d]: timeout = %d", ch, left);
    if (left == 0)
        return fail(reset ? tr("Error resetting Channel %1 voltage nominal. Giving up.").arg(ch)
                          : tr("Error setting Channel %1 VoltagMaxSet to %2 V (read back %3 V). Giving up.")
                                .arg(ch)
                                .arg(double(voltage))
                                .arg(double(readV)));

    module->setChannelCurrentNominal(ch, current);
    float readI = 0;
    left = poll(200, [&] {
        readI = readBack(ch, [module](int c) { return module->channelCurrentNominal(c); });
        return std::fabs(double(readI) - double(current)) <= 1e-12;
    });
    qCDebug(lcCrate).noquote() << QString::asprintf("Inominal[%d]: timeout = %d", ch, left);
    if (left == 0)
        return fail(reset ? tr("Error resetting Channel %1 current nominal. Giving up.").arg(ch)
                          : tr("Error setting Channel %1 CurrentMaxSet to %2 mA (read back %3 mA). Giving up.")
                                .arg(ch)
                                .arg(double(current) * 1000.0)
                                .arg(double(readI) * 1000.0));
    return true;
}

bool FactorySettings::writeProfile(BaseModule *module, const ModuleProfile &profile)
{
    const int channels = std::min<int>(module->channelNumber(), profile.channels.size());

    emit addLineToWriteProfileLog(QStringLiteral("\nSetting Module to mode STOP ..."));
    ModuleControl stop;
    stop.setSetSTOP(true);
    stop.setDoCLEAR(true);
    module->setControl(stop);
    if (!waitForStop(module, 2000, "Mod.Status",
                     tr("Error setting Module to mode STOP. Giving up.\nPlease turn the channels off and try again!")))
        return false;

    for (int ch = 0; ch < channels; ++ch) {
        const ModuleProfile::Channel &c = profile.channels.at(ch);
        module->setChannelControl(ch, ChannelControl(c.control));
        module->setChannelVoltageNominal(ch, c.voltageMaxSet);
        module->setChannelCurrentNominal(ch, c.currentMaxSet);
    }

    module->setEventMask(ModuleEventMask(profile.eventMask));
    module->setEventChannelMask(profile.eventChannelMask);
    module->setEventGroupMask(profile.eventGroupMask);
    module->setDigitalFilter(profile.digitalFilter);
    module->setAdcSamplesPerSecond(profile.adcSamples);
    module->setRestartTime(profile.restartTime);
    module->setVoltageRampSpeed(profile.voltageRampSpeed);
    module->setCurrentRampSpeed(profile.currentRampSpeed);

    for (int ch = 0; ch < channels; ++ch) {
        const ModuleProfile::Channel &c = profile.channels.at(ch);
        const ChannelControl wanted(c.control);
        module->setChannelControl(ch, wanted);
        ChannelControl read;
        const int left = poll(200, [&] {
            read = readBack(ch, [module](int n) { return module->channelControl(n); });
            return read == wanted;
        });
        qCDebug(lcCrate).noquote() << QString::asprintf("Control[%d]:  timeout = %d", ch, left);
        if (left == 0)
            return fail(tr("Error setting Channel %1 Control word to %2 (read back %3). Giving up.")
                            .arg(ch)
                            .arg(QStringLiteral("0x") + hexWord(wanted.toWord(), 4),
                                 QStringLiteral("0x") + hexWord(read.toWord(), 4)));
        if (!verifyChannelNominals(module, ch, c.voltageMaxSet, c.currentMaxSet, false))
            return false;
        module->setChannelVoltageSet(ch, c.voltageSet);
        module->setChannelCurrentSet(ch, c.currentSet);
        module->setChannelEventMask(ch, ChannelEventMask(c.eventMask));
        module->setChannelVoltageInterlockMaxSet(ch, c.voltageIlkMaxSet);
        module->setChannelVoltageInterlockMinSet(ch, c.voltageIlkMinSet);
        module->setChannelCurrentInterlockMaxSet(ch, c.currentIlkMaxSet);
        module->setChannelCurrentInterlockMinSet(ch, c.currentIlkMinSet);
    }

    ModuleControl store;
    store.setSetSTOP(true);
    store.setDoSaveSetValues(true);
    auto saveDebug = [module](int left) {
        qCDebug(lcCrate).noquote() << QString::asprintf("Control.saveSetValues: timeout = %d, control = %x", left,
                                                        unsigned(module->control().toWord()));
    };
    for (;;) {
        module->setControl(store);
        const int left = poll(500, [module] { return module->control().DoSaveSetValues(); });
        saveDebug(left);
        if (left > 0)
            break;
        if (!askRetry || !askRetry(tr("Error setting ModuleControl.DoSaveSetValues. Try again?")))
            return false;
    }
    const int left = poll(5000, [module] { return !module->control().DoSaveSetValues(); });
    saveDebug(left);
    // A store that never finishes has not been confirmed: saying "written" would
    // hide that the module may still hold its old values after a restart.
    if (left == 0)
        return fail(tr("The module did not finish storing the profile (ModuleControl.DoSaveSetValues still set "
                       "after 5 s). Giving up."));
    if (inform)
        inform(tr("Profile written into device!"));

    ModuleControl done = store;
    done.setDoCLEAR(true);
    module->setControl(done);
    module->setConnectionState(ModuleConnectionState::Unknown);
    return true;
}

bool FactorySettings::factoryReset(BaseModule *module)
{
    const int channels = module->channelNumber();
    QList<float> hardwareVoltage;
    QList<float> hardwareCurrent;
    for (int ch = 0; ch < channels; ++ch) {
        module->setChannelControl(ch, ChannelControl());
        hardwareVoltage.append(module->channelVoltageHardwareNominal(ch));
        hardwareCurrent.append(module->channelCurrentHardwareNominal(ch));
        module->setChannelVoltageNominal(ch, hardwareVoltage.last());
        module->setChannelCurrentNominal(ch, hardwareCurrent.last());
    }

    for (int ch = 0; ch < channels; ++ch) {
        module->setChannelControl(ch, ChannelControl());
        const int left =
            poll(200, [&] { return !readBack(ch, [module](int n) { return module->channelControl(n); }).setON(); });
        qCDebug(lcCrate).noquote() << QString::asprintf("Control[%d]:  timeout = %d", ch, left);
        if (left == 0)
            return fail(tr("Error resetting Channel %1 Control word. Giving up.").arg(ch));
        if (!verifyChannelNominals(module, ch, hardwareVoltage.at(ch), hardwareCurrent.at(ch), true))
            return false;
        module->setChannelEventMask(ch, ChannelEventMask::allSet());
        module->setChannelVoltageSet(ch, 0.0f);
        module->setChannelCurrentSet(ch, hardwareCurrent.at(ch));
        module->setChannelVoltageInterlockMaxSet(ch, 0.0f);
        module->setChannelVoltageInterlockMinSet(ch, 0.0f);
        module->setChannelCurrentInterlockMaxSet(ch, 0.0f);
        module->setChannelCurrentInterlockMinSet(ch, 0.0f);
    }

    module->setVoltageRampSpeed(1.0f);
    module->setCurrentRampSpeed(50.0f);
    module->setEventMask(ModuleEventMask::allSet());
    module->setEventChannelMask(0xFFFFFFFFu);
    module->setEventGroupMask(0xFFFFFFFFu);
    module->setDigitalFilter(64);
    module->setAdcSamplesPerSecond(500);
    module->setRestartTime(0);

    ModuleControl stop;
    stop.setSetSTOP(true);
    module->setControl(stop);
    if (!waitForStop(module, 200, "Mod.Status", tr("Error setting Module to mode STOP. Giving up.")))
        return false;

    ModuleControl store = stop;
    store.setDoCLEAR(true);
    store.setDoSaveSetValues(true);
    module->setControl(store);
    auto saveDebug = [module](int left) {
        qCDebug(lcCrate).noquote() << QString::asprintf("Control.saveSetValues: timeout = %d, control = %x", left,
                                                        unsigned(module->control().toWord()));
    };
    // The module must be seen storing before "cleared" means "stored": a module
    // that never takes the store bit would otherwise pass at the first read.
    int left = poll(500, [module] { return module->control().DoSaveSetValues(); });
    saveDebug(left);
    if (left == 0)
        return fail(tr("The module did not start storing the factory settings (ModuleControl.DoSaveSetValues "
                       "never read back set). Giving up."));
    left = poll(5000, [module] { return !module->control().DoSaveSetValues(); });
    saveDebug(left);
    if (left == 0)
        return fail(tr("The module did not finish storing the factory settings (ModuleControl.DoSaveSetValues "
                       "still set after 5 s). Giving up."));
    return true;
}
