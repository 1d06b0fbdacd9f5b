#include "valuecodec.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace wiener {

namespace ValueCodec {

int Value::toInt() const
{
    switch (kind) {
    case Integer:
    case Text:
        return static_cast<int>(static_cast<uint32_t>(integer));
    case Real:
        if (!std::isfinite(real) || real >= 2147483648.0 || real < -2147483648.0)
            return 0;
        return static_cast<int>(real); // truncation, as for any float handed out as int
    default:
        return 0;
    }
}

double Value::toDouble() const
{
    switch (kind) {
    case Real:
        return real;
    case Integer:
        return static_cast<double>(integer);
    case Text: {
        // Some agents answer a number as text; anything else is not a value.
        const char *begin = text.c_str();
        char *end = nullptr;
        const double v = std::strtod(begin, &end);
        return end != begin ? v : 0.0;
    }
    default:
        return 0.0;
    }
}

int bitsToLibraryInt(const unsigned char *octets, size_t length)
{
    uint32_t result = 0;
    for (size_t i = 0; i < length && i < 4; ++i)
        result |= static_cast<uint32_t>(octets[i]) << (8 * i);
    return static_cast<int>(result);
}

std::vector<unsigned char> libraryIntToBits(int value, size_t octetCount)
{
    if (octetCount > 4)
        octetCount = 4;
    std::vector<unsigned char> octets(octetCount);
    const uint32_t v = static_cast<uint32_t>(value);
    for (size_t i = 0; i < octetCount; ++i)
        octets[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
    return octets;
}

int namedBitToLibraryBit(int namedBit)
{
    if (namedBit < 0)
        return -1;
    return 8 * (namedBit / 8) + 7 - namedBit % 8;
}

bool decodeOpaque(const unsigned char *data, size_t length, double *value)
{
    if (!data || length < 3 || data[0] != 0x9f)
        return false;
    const unsigned char tag = data[1];
    const size_t size = data[2];
    if (length != 3 + size)
        return false;
    const unsigned char *p = data + 3;
    if (tag == 0x78 && size == 4) {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i)
            bits = (bits << 8) | p[i];
        float f;
        std::memcpy(&f, &bits, sizeof f);
        *value = f;
        return true;
    }
    if (tag == 0x79 && size == 8) {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = (bits << 8) | p[i];
        double d;
        std::memcpy(&d, &bits, sizeof d);
        *value = d;
        return true;
    }
    return false;
}

int ipAddressToInt(const unsigned char *octets, size_t length)
{
    if (length != 4)
        return 0;
    return bitsToLibraryInt(octets, 4);
}

void intToIpAddress(int value, unsigned char octets[4])
{
    const uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        octets[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

Value decode(const variable_list *variable)
{
    Value result;
    if (!variable)
        return result;
    result.asnType = variable->type;
    switch (variable->type) {
    case ASN_INTEGER:
        if (variable->val.integer) {
            result.kind = Value::Integer;
            result.integer = *variable->val.integer;
        }
        break;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
    case ASN_UINTEGER:
        if (variable->val.integer) {
            result.kind = Value::Integer;
            result.integer = static_cast<unsigned long>(*variable->val.integer) & 0xFFFFFFFFul;
        }
        break;
    case ASN_COUNTER64:
#ifdef NETSNMP_WITH_OPAQUE_SPECIAL_TYPES
    case ASN_OPAQUE_COUNTER64:
    case ASN_OPAQUE_U64:
#endif
        if (variable->val.counter64) {
            result.kind = Value::Integer;
            result.integer = static_cast<long long>((static_cast<unsigned long long>(variable->val.counter64->high) << 32) |
                                                    (variable->val.counter64->low & 0xFFFFFFFFul));
        }
        break;
#ifdef NETSNMP_WITH_OPAQUE_SPECIAL_TYPES
    case ASN_OPAQUE_I64:
        if (variable->val.counter64) {
            result.kind = Value::Integer;
            const unsigned long long raw = (static_cast<unsigned long long>(variable->val.counter64->high) << 32) |
                                           (variable->val.counter64->low & 0xFFFFFFFFul);
            result.integer = static_cast<long long>(raw);
        }
        break;
    case ASN_OPAQUE_FLOAT:
        if (variable->val.floatVal) {
            result.kind = Value::Real;
            result.real = *variable->val.floatVal;
        }
        break;
    case ASN_OPAQUE_DOUBLE:
        if (variable->val.doubleVal) {
            result.kind = Value::Real;
            result.real = *variable->val.doubleVal;
        }
        break;
#endif
    case ASN_OPAQUE: {
        double v = 0.0;
        if (decodeOpaque(variable->val.string, variable->val_len, &v)) {
            result.kind = Value::Real;
            result.real = v;
        }
        break;
    }
    case ASN_IPADDRESS:
        if (variable->val.string && variable->val_len == 4) {
            result.kind = Value::Integer;
            result.integer = static_cast<uint32_t>(ipAddressToInt(variable->val.string, 4));
        }
        break;
    case ASN_OCTET_STR:
        result.kind = Value::Text;
        if (variable->val.string && variable->val_len > 0) {
            result.text.assign(reinterpret_cast<const char *>(variable->val.string), variable->val_len);
            result.integer = static_cast<uint32_t>(bitsToLibraryInt(variable->val.string, variable->val_len));
        }
        break;
    case SNMP_NOSUCHOBJECT:
        result.kind = Value::Exception;
        result.text = "no such object";
        break;
    case SNMP_NOSUCHINSTANCE:
        result.kind = Value::Exception;
        result.text = "no such instance";
        break;
    case SNMP_ENDOFMIBVIEW:
        result.kind = Value::Exception;
        result.text = "end of MIB view";
        break;
    default:
        break;
    }
    return result;
}

} // namespace ValueCodec

} // namespace wiener
