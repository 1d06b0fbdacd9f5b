#include "vexatypes.h"

#include "channelcontrol.h"
#include "channeleventmask.h"
#include "channeleventstatus.h"
#include "channelstatus.h"
#include "modulecontrol.h"
#include "moduleeventmask.h"
#include "moduleeventstatus.h"
#include "modulestatus.h"

namespace VexaTypes
{

void registerMetaTypes()
{
    qRegisterMetaType<ChannelStatus>();
    qRegisterMetaType<ChannelEventStatus>();
    qRegisterMetaType<ChannelEventMask>();
    qRegisterMetaType<ChannelControl>();
    qRegisterMetaType<ModuleStatus>();
    qRegisterMetaType<ModuleEventStatus>();
    qRegisterMetaType<ModuleEventMask>();
    qRegisterMetaType<ModuleControl>();
    qRegisterMetaType<ModuleConnectionState>();
    qRegisterMetaType<OutputSupervisionAction>();
    qRegisterMetaType<LoadResistor>();
    qRegisterMetaType<FactoryMode>();
    qRegisterMetaType<CurrentMeasurementRange>();
}

} // namespace VexaTypes
