#pragma once
// One line of an Intel HEX file as the simulated boot loader parses it.

#include <QByteArray>
#include <QtGlobal>

struct IntelHexRecord
{
    enum Type : quint8 {
        Data = 0x00,
        EndOfFile = 0x01,
        ExtendedSegmentAddress = 0x02,
        StartSegmentAddress = 0x03,
        ExtendedLinearAddress = 0x04,
        StartLinearAddress = 0x05,
    };
    enum Error {
        NoError,
        SyntaxError,      // no colon, odd digit count, not a hexadecimal digit, too short
        LengthMismatch,   // byte count differs from the digits present
        ChecksumError,
        UnknownType,
        BadAddressRecord, // address records with a wrong byte count or offset
    };

    Error error = NoError;
    quint8 type = 0;
    quint16 offset = 0;  // the record's 16-bit address field
    QByteArray data;

    // Takes the line without its CR LF; surrounding blanks are tolerated.
    static IntelHexRecord parse(const QByteArray &line);
    // Builds the text of a record (without line end); used by tests and generators.
    static QByteArray format(quint8 type, quint16 offset, const QByteArray &data);
};
