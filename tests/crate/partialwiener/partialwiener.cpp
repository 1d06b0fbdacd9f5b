// A library that carries only the first functions of the access library, so that
// binding it fails at the first missing one (getSysDescr).
#include "wiener_snmp.h"

extern "C" {
int snmpInit(void) { return 1; }
void snmpCleanup(void) {}
HSNMP snmpOpen(const char *) { return nullptr; }
void snmpClose(HSNMP) {}
const char *snmpGetLastError(void) { return ""; }
int getMainSwitch(HSNMP) { return 0; }
int setMainSwitch(HSNMP, int value) { return value; }
int getMainStatus(HSNMP) { return 0; }
int getIpStaticAddress(HSNMP) { return 0; }
int setIpStaticAddress(HSNMP, int value) { return value; }
const char *getPsSerialNumber(HSNMP) { return ""; }
}
