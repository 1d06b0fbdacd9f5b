#pragma once
// Turning what an agent sends into the numbers the library hands out, and back.
// Kept free of sessions so that every decoding rule can be checked on its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct variable_list;

namespace wiener {

namespace ValueCodec {

// What one answered variable turned out to be.
struct Value {
    enum Kind { None, Integer, Real, Text, Exception };
    Kind kind = None;
    long long integer = 0;  // Integer: the number; Text: the octets read as BITS
    double real = 0.0;      // Real: the number
    std::string text;       // Text: the octets; Exception: the exception's name
    unsigned char asnType = 0;

    bool isValue() const { return kind == Integer || kind == Real || kind == Text; }
    // The value as an int the way the library reports statuses, switches and times.
    int toInt() const;
    // The value as a physical quantity; plain integers count as well.
    double toDouble() const;
};

// A BITS value travels as octets, named bit 0 being the most significant bit of
// the first octet. The library form the callers expect reads the octets as the
// bytes of an integer, first octet lowest, each octet keeping its own bit order:
// named bit n ends up as library bit 8 * (n / 8) + 7 - n % 8.
int bitsToLibraryInt(const unsigned char *octets, size_t length);
// The reverse, producing `octetCount` octets (at most 4).
std::vector<unsigned char> libraryIntToBits(int value, size_t octetCount);

// Library bit number of a named BITS position, and back (the mapping is its own inverse).
int namedBitToLibraryBit(int namedBit);

// An Opaque that net-snmp did not unwrap: the inner BER of the float (0x9f 0x78)
// and double (0x9f 0x79) extensions. Returns false for anything else.
bool decodeOpaque(const unsigned char *data, size_t length, double *value);

// An IpAddress as the library's 32-bit value: first octet in the lowest byte.
int ipAddressToInt(const unsigned char *octets, size_t length);
void intToIpAddress(int value, unsigned char octets[4]);

// Decodes one variable of an answer.
Value decode(const variable_list *variable);

} // namespace ValueCodec

} // namespace wiener
