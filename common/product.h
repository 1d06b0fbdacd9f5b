#pragma once
// Constants compiled into both programs. The settings organisation and the store
// names are shared with crateflash, so they must never change between releases.

#include "productversion.h"

namespace Product
{

inline constexpr char Title[] = "vexa SNMP Control";
// The project version of the build (CMakeLists.txt), the one place it is written.
inline constexpr char Version[] = VEXA_PRODUCT_VERSION;
inline constexpr char Organisation[] = "Vexa Systems GmbH";
inline constexpr char Application[] = "vexacontrol";
inline constexpr char SplashImage[] = "daz_urezodu_512.png";
inline constexpr char WindowIcon[] = ":/images/cratectl64x64.ico";

// The other two per-user stores.
inline constexpr char AddressLockStore[] = "addresslock";
inline constexpr char ResolutionStore[] = "resolution";

// Crate address used when the operator store holds none.
inline constexpr char DefaultIpAddress[] = "192.168.16.228";

// The service argument that enables the service actions of the menus.
inline constexpr char ServiceArgument[] = "quil";

} // namespace Product
