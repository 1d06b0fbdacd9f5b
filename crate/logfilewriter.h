#pragma once
// Appends lines to a log file that people leave running overnight. Every line
// reaches the disk before writeLine() returns, so a crash or power cut loses at
// most the line being written. A write that fails (disk full, file removed or
// replaced under us) closes the file and says why, so the caller can stop
// recording and report it once instead of writing into nowhere.

#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <QString>

class LogFileWriter
{
public:
    enum LineEnds {
        NewlineOnly,      // "\n" on every platform
        PlatformLineEnds, // "\r\n" where the platform writes text that way
    };

    // Numbers in log files: the operator's decimal separator, but no group
    // separators, since one locale's group separator is another's decimal
    // point and a reader elsewhere would take 1,000.5 for 1.0005.
    static QLocale numberLocale();

    LogFileWriter() = default;
    ~LogFileWriter();
    LogFileWriter(const LogFileWriter &) = delete;
    LogFileWriter &operator=(const LogFileWriter &) = delete;

    // Opens the file for appending (created when missing; existing lines stay).
    // False, with errorString(), when it cannot be opened.
    bool open(const QString &fileName, LineEnds lineEnds);
    bool isOpen() const { return m_file.isOpen(); }
    QString fileName() const { return m_file.fileName(); }
    QString errorString() const { return m_error; }

    // Appends the line and its line end and pushes it to the disk. On failure
    // the part of the line that got in is taken back where the file allows it,
    // the file is closed and errorString() tells why.
    bool writeLine(const QByteArray &line);
    void close();

private:
    bool fail(const QString &reason);
    // Empty when the line reached the disk, else the reason.
    QString syncToDisk();
    bool stillTheOpenedFile() const;

    QFile m_file;
    QString m_error;
    bool m_identityKnown = false;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};
