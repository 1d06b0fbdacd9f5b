#pragma once
// Process-wide start-up of net-snmp and the MIB for WIENER_SNMP.

#include <string>
#include <vector>

namespace wiener {

namespace LibraryInit {

constexpr const char *mibModule = "WIENER-CRATE-MIB";

// Starts net-snmp without printing to the terminal, loads WIENER-CRATE-MIB
// (system MIB directories first, then ours) and resolves every object. Safe to
// call again: a successful start-up is kept. On failure the last error says what
// is missing.
bool initialise();
bool isReady();
// Forgets the resolved objects (handles must be closed before); net-snmp
// itself stays started.
void cleanup();

// Our MIB directories in the order they are tried: $VEXA_MIBDIR alone when set,
// otherwise share/vexa/mibs beside the library's lib folder, the installed
// location and the source tree.
std::vector<std::string> ownMibDirectories();

} // namespace LibraryInit

} // namespace wiener
