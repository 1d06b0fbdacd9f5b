#include "dialogshots.h"

#include "dialogchannelcontrol.h"
#include "dialogmodulecontrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>

namespace {

void settle()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool saveChannelDialog(const QString &file)
{
    DialogChannelControl dialog;
    dialog.currentChannelChanged(7100123, 3);
    dialog.updateModuleFirmwareName(7100123, QStringLiteral("T03X0"));
    // A channel that ran into its current limit and tripped.
    ChannelStatus status;
    status.setIsTRIP(true);
    status.setIsCLIM(true);
    status.setIsCC(true);
    status.setIsEINH(true);
    dialog.updateChannelStatus(7100123, 3, status);
    ChannelEventStatus events;
    events.setECLIM(true);
    events.setECC(true);
    events.setECV(true);
    events.setEEINH(true);
    dialog.updateChannelEventStatus(7100123, 3, events);
    ChannelEventMask mask;
    mask.setETRIP(true);
    mask.setEEINH(true);
    mask.setEEMCY(true);
    mask.setECLIM(true);
    dialog.updateChannelEventMask(7100123, 3, mask);
    ChannelControl control;
    control.setSetON(true);
    control.setSetAVBND(true);
    dialog.updateChannelControl(7100123, 3, control);
    dialog.show();
    settle();
    return dialog.grab().save(file);
}

bool saveModuleDialog(const QString &file)
{
    DialogModuleControl dialog;
    dialog.setChannelNumber(16);
    ModuleStatus status;
    status.setIsKILena(true);
    status.setIsTMPgd(true);
    status.setIsMODgd(false);
    status.setIsEVNTact(true);
    status.setIsSFLPgd(true);
    status.setIsnoRAMP(true);
    status.setIsSTOP(true);
    status.setIsADJ(true);
    dialog.updateModuleStatus(7100123, status); // supply bad, a channel in error
    ModuleEventStatus events;
    events.setESPLYngd(true);
    events.setEPWRFAIL(true);
    dialog.updateModuleEventStatus(7100123, events);
    ModuleEventMask mask;
    mask.setESPLYngd(true);
    mask.setETMPngd(true);
    mask.setESFLPngd(true);
    dialog.updateModuleEventMask(7100123, mask);
    ModuleControl control;
    control.setSetKILena(true);
    control.setSetADJ(true);
    dialog.updateModuleControl(7100123, control);
    dialog.updateModuleEventChannelStatus(7100123, 0x0000'0088u);
    dialog.updateModuleEventChannelMask(7100123, 0x0000'FFFFu);
    dialog.updateModuleRestartTime(7100123, 2500);
    dialog.show();
    settle();
    return dialog.grab().save(file);
}

} // namespace

bool saveDialogShots(const QString &channelFile, const QString &moduleFile)
{
    bool ok = true;
    if (!channelFile.isEmpty())
        ok = saveChannelDialog(channelFile) && ok;
    if (!moduleFile.isEmpty())
        ok = saveModuleDialog(moduleFile) && ok;
    return ok;
}
