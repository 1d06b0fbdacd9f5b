#include "flashlogging.h"

namespace crateflash {

Q_LOGGING_CATEGORY(lcFlashSnmp, "crateflash.snmp")
Q_LOGGING_CATEGORY(lcFlashTunnel, "crateflash.tunnel")
Q_LOGGING_CATEGORY(lcFlashUpdate, "crateflash.update")
Q_LOGGING_CATEGORY(lcFlashWindow, "crateflash.window")

} // namespace crateflash
