#pragma once
// Checks a firmware file before anything of it is sent: the boot loader takes
// a file line by line and commits what it got, so a cut, empty or foreign
// file must be refused as a whole, up front. The file must be Intel HEX text
// throughout: every non-blank line a record with a valid checksum, at least
// one data record, exactly one end record and nothing but blank lines after
// it, lines of bounded length and a bounded file size.

#include <QCoreApplication>
#include <QString>

namespace crateflash {

class HexFileCheck
{
    Q_DECLARE_TR_FUNCTIONS(HexFileCheck)

public:
    static constexpr int MaxLineLength = 600;               // characters, without the line end
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024; // bytes

    // Empty when the file may be flashed; otherwise a message naming the
    // file, the line where that applies, and what is wrong.
    static QString check(const QString &path);

    // What is wrong with one line (without its line end), empty when it is a
    // valid record; `type` receives the record type.
    static QString checkRecord(const QByteArray &line, int *type);
};

} // namespace crateflash
