#include "module.h"

namespace crateflash {

QString Module::releaseText() const
{
    return QStringLiteral("%1.%2").arg(release / 100).arg(release % 100, 2, 10, QLatin1Char('0'));
}

QString Module::canIdText() const { return QStringLiteral("0x%1").arg(canId, 3, 16, QLatin1Char('0')); }

} // namespace crateflash
