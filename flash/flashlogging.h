#pragma once
#include <QLoggingCategory>

namespace crateflash {

// Diagnostics of the flash tool: SNMP layer, CAN tunnel, firmware runs, window.
Q_DECLARE_LOGGING_CATEGORY(lcFlashSnmp)
Q_DECLARE_LOGGING_CATEGORY(lcFlashTunnel)
Q_DECLARE_LOGGING_CATEGORY(lcFlashUpdate)
Q_DECLARE_LOGGING_CATEGORY(lcFlashWindow)

} // namespace crateflash
