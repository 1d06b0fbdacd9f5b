#include "logfilewriter.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

QLocale LogFileWriter::numberLocale()
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale;
}

LogFileWriter::~LogFileWriter()
{
    close();
}

bool LogFileWriter::open(const QString &fileName, LineEnds lineEnds)
{
    close();
    m_error.clear();
    m_file.setFileName(fileName);
    // Unbuffered: nothing waits in our own buffer when the program dies.
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;
    if (lineEnds == PlatformLineEnds)
        mode |= QIODevice::Text;
    if (!m_file.open(mode)) {
        m_error = m_file.errorString();
        return false;
    }
    m_identityKnown = false;
#ifdef Q_OS_UNIX
    struct stat info;
    if (::fstat(m_file.handle(), &info) == 0) {
        m_identityKnown = true;
        m_device = quint64(info.st_dev);
        m_inode = quint64(info.st_ino);
    }
#endif
    return true;
}

void LogFileWriter::close()
{
    if (m_file.isOpen())
        m_file.close();
}

bool LogFileWriter::fail(const QString &reason)
{
    m_error = reason;
    close();
    return false;
}

bool LogFileWriter::writeLine(const QByteArray &line)
{
    if (!m_file.isOpen())
        return fail(m_error.isEmpty() ? QCoreApplication::translate("LogFileWriter", "the file is not open")
                                      : m_error);
    // Lines written after the file was deleted or renamed away would be lost
    // without any error from the system.
    if (!stillTheOpenedFile())
        return fail(QCoreApplication::translate("LogFileWriter", "the file was removed or replaced"));

    const qint64 sizeBefore = m_file.isSequential() ? -1 : m_file.size();
    const QByteArray bytes = line + '\n';
    const qint64 written = m_file.write(bytes);
    QString reason;
    if (written != bytes.size())
        reason = m_file.errorString();
    else
        reason = syncToDisk();
    if (!reason.isEmpty()) {
        // A half line would spoil the file for every reader; a device refuses
        // this, which is fine.
        if (written > 0 && sizeBefore >= 0)
            m_file.resize(sizeBefore);
        return fail(reason);
    }
    return true;
}

QString LogFileWriter::syncToDisk()
{
    if (!m_file.flush())
        return m_file.errorString();
#ifdef Q_OS_UNIX
    if (::fdatasync(m_file.handle()) != 0) {
        const int error = errno;
        // Devices and some file systems cannot sync; their data went out with the write.
        if (error != EINVAL && error != EROFS && error != ENOTSUP)
            return QString::fromLocal8Bit(std::strerror(error));
    }
#endif
    return QString();
}

bool LogFileWriter::stillTheOpenedFile() const
{
#ifdef Q_OS_UNIX
    if (!m_identityKnown)
        return true;
    struct stat info;
    const QByteArray path = QFile::encodeName(m_file.fileName());
    if (::stat(path.constData(), &info) != 0)
        return false;
    return quint64(info.st_dev) == m_device && quint64(info.st_ino) == m_inode;
#else
    return true;
#endif
}
