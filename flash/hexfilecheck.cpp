#include "hexfilecheck.h"

#include <QFile>

namespace crateflash {

namespace {
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

QString HexFileCheck::checkRecord(const QByteArray &line, int *type)
{
    if (!line.startsWith(':'))
        return tr("not an Intel HEX record (no colon at the start)");
    const int digits = int(line.size()) - 1;
    QByteArray bytes;
    bytes.reserve(digits / 2);
    for (int i = 1; i < line.size(); ++i) {
        if (hexDigit(line.at(i)) < 0)
            return tr("character %1 is not a hexadecimal digit").arg(i + 1);
    }
    if (digits % 2)
        return tr("odd number of hexadecimal digits");
    for (int i = 1; i + 1 < line.size(); i += 2)
        bytes.append(char(hexDigit(line.at(i)) << 4 | hexDigit(line.at(i + 1))));
    if (bytes.size() < 5)
        return tr("record too short");
    const int count = quint8(bytes.at(0));
    if (bytes.size() != count + 5)
        return tr("byte count %1 does not match the record's %2 data bytes").arg(count).arg(bytes.size() - 5);
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    if (sum != 0)
        return tr("checksum error");
    *type = quint8(bytes.at(3));
    switch (*type) {
    case 0:
        break;
    case 1:
        if (count != 0)
            return tr("end record with data");
        break;
    case 2:
    case 4:
        if (count != 2)
            return tr("address record with %1 data bytes instead of 2").arg(count);
        break;
    case 3:
    case 5:
        if (count != 4)
            return tr("start address record with %1 data bytes instead of 4").arg(count);
        break;
    default:
        return tr("unknown record type %1").arg(*type);
    }
    return QString();
}

QString HexFileCheck::check(const QString &path)
{
    auto problem = [&path](const QString &what) { return tr("HEX file %1: %2").arg(path, what); };
    auto lineProblem = [&path](qint64 line, const QString &what) {
        return tr("HEX file %1, line %2: %3").arg(path).arg(line).arg(what);
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return problem(tr("cannot be read: %1").arg(file.errorString()));
    const qint64 size = file.size();
    if (size > MaxFileSize)
        return problem(tr("is %1 bytes long; a firmware file has at most %2").arg(size).arg(MaxFileSize));
    qint64 lineNumber = 0;
    qint64 endLine = 0;
    qint64 dataRecords = 0;
    while (!file.atEnd()) {
        // Read at most one line's worth, so a file without line ends costs no more than its size allows.
        QByteArray raw = file.readLine(MaxLineLength + 3);
        ++lineNumber;
        if (raw.isEmpty() && file.error() != QFileDevice::NoError)
            return problem(tr("cannot be read: %1").arg(file.errorString()));
        const bool complete = raw.endsWith('\n') || file.atEnd();
        QByteArray line = raw;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        line = line.trimmed();
        if (!complete || line.size() > MaxLineLength)
            return lineProblem(lineNumber, tr("line longer than %1 characters").arg(MaxLineLength));
        if (line.isEmpty())
            continue;
        if (line.contains('\0'))
            return lineProblem(lineNumber, tr("binary data, not Intel HEX text"));
        if (endLine)
            return lineProblem(lineNumber, tr("record after the end record of line %1").arg(endLine));
        int type = -1;
        const QString wrong = checkRecord(line, &type);
        if (!wrong.isEmpty())
            return lineProblem(lineNumber, wrong);
        if (type == 0)
            ++dataRecords;
        else if (type == 1)
            endLine = lineNumber;
    }
    if (lineNumber == 0)
        return problem(tr("is empty"));
    if (dataRecords == 0)
        return problem(tr("holds no data record"));
    if (!endLine)
        return problem(tr("has no end record: the file is incomplete"));
    return QString();
}

} // namespace crateflash
