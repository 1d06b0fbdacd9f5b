#include "wienersnmpfunctions.h"

#include <cstring>

namespace {

const char *const functionNames[] = {
#define WIENER_SNMP_NAME(name) #name,
    WIENER_SNMP_FUNCTION_LIST(WIENER_SNMP_NAME)
#undef WIENER_SNMP_NAME
};

} // namespace

int WienerSnmpFunctions::count() { return int(sizeof(functionNames) / sizeof(functionNames[0])); }

const char *const *WienerSnmpFunctions::names() { return functionNames; }

const char *WienerSnmpFunctions::resolve(const Resolver &resolve)
{
    // A symbol comes back as a generic function pointer; it is converted to the
    // declared type once, here, and nowhere else.
#define WIENER_SNMP_RESOLVE(fn)                                                                             \
    {                                                                                                         \
        Symbol symbol = resolve(#fn);                                                                        \
        if (!symbol)                                                                                          \
            return #fn;                                                                                       \
        fn = reinterpret_cast<decltype(fn)>(symbol);                                                          \
    }
    WIENER_SNMP_FUNCTION_LIST(WIENER_SNMP_RESOLVE)
#undef WIENER_SNMP_RESOLVE
    return nullptr;
}

WienerSnmpFunctions::Symbol WienerSnmpFunctions::symbol(const char *name) const
{
    if (!name)
        return nullptr;
#define WIENER_SNMP_SYMBOL(fn)                                                                              \
    if (std::strcmp(name, #fn) == 0)                                                                          \
        return reinterpret_cast<Symbol>(fn);
    WIENER_SNMP_FUNCTION_LIST(WIENER_SNMP_SYMBOL)
#undef WIENER_SNMP_SYMBOL
    return nullptr;
}

bool WienerSnmpFunctions::isComplete() const
{
#define WIENER_SNMP_CHECK(fn)                                                                               \
    if (!fn)                                                                                                  \
        return false;
    WIENER_SNMP_FUNCTION_LIST(WIENER_SNMP_CHECK)
#undef WIENER_SNMP_CHECK
    return true;
}
