#pragma once
// The command line of cratesim.

#include <QString>
#include <QStringList>

class SimOptions
{
public:
    QString address = QStringLiteral("127.0.0.1");
    int port = 161;
    QString crateFile;
    QString stateFile;
    double timeScale = 1.0;
    int delayMs = 0;
    int maxMessageSize = 65507;
    bool verbose = false;

    enum class Result { Run, Help, Error };
    // Parses the arguments (argument 0 is the program). On Help, text() is the
    // help (or the version line for --version); on Error, it is the message.
    Result parse(const QStringList &arguments);
    QString text() const { return m_text; }

private:
    QString m_text;
};
