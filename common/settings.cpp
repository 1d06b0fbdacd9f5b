#include "settings.h"

#include "product.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

namespace
{
Settings *singleton = nullptr;
}

Settings::Settings() : QObject(nullptr), m_settings(operatorStore().release())
{
    m_settings->setParent(this);
}

QSettings *Settings::settings()
{
    instance();
    return singleton->m_settings;
}

void Settings::instance()
{
    // Lives until the process ends; never destroyed explicitly.
    if (!singleton)
        singleton = new Settings;
}

QString Settings::storeApplication(const QString &application)
{
    if (application.isEmpty())
        return QString::fromLatin1(Product::Application);
    if (application.compare(QLatin1String(Product::Application), Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(Product::Application);
    return application;
}

std::unique_ptr<QSettings> Settings::operatorStore(const QString &application)
{
    return store(application.isEmpty() ? QString::fromLatin1(Product::Application) : application);
}

std::unique_ptr<QSettings> Settings::store(const QString &application)
{
    // An operator store that exists but cannot be read is left as it is: the
    // program runs on defaults in a scratch store, so nothing it writes
    // (addresses, recent addresses) replaces what the operator may still recover.
    if (storeApplication(application) == QLatin1String(Product::Application) && !storeProblem(application).isEmpty()) {
        const QString scratch = QDir::tempPath() + QStringLiteral("/vexacontrol-unreadable-store-%1.ini")
                                                       .arg(QCoreApplication::applicationPid());
        return std::make_unique<QSettings>(scratch, QSettings::IniFormat);
    }
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QString::fromLatin1(Product::Organisation),
                                       storeApplication(application));
}

QString Settings::storeFileName(const QString &application)
{
    // Computed, not asked from a QSettings object: opening one reads the file,
    // which the address lock must only do under its own guard. The path follows
    // the settings library's user-scope rule for INI files on Unix.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QLatin1Char('/') + QString::fromLatin1(Product::Organisation) + QLatin1Char('/') +
           storeApplication(application) + QStringLiteral(".ini");
}

QString Settings::storeProblem(const QString &application)
{
    const QString path = storeFileName(application);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return QString();
    if (info.isDir())
        return QCoreApplication::translate("Settings", "%1 is a folder, not a settings file").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QCoreApplication::translate("Settings", "%1 cannot be read: %2").arg(path, file.errorString());
    // Settings files are small text files; anything else is not ours to parse.
    constexpr qint64 MaxStoreSize = 1024 * 1024;
    if (file.size() > MaxStoreSize)
        return QCoreApplication::translate("Settings", "%1 is %2 bytes long, too long for a settings file")
            .arg(path)
            .arg(file.size());
    const QByteArray content = file.readAll();
    if (content.contains('\0'))
        return QCoreApplication::translate("Settings", "%1 holds binary data (NUL bytes), not settings text").arg(path);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(content);
    if (utf8.hasError())
        return QCoreApplication::translate("Settings", "%1 is not UTF-8 text").arg(path);
    QSettings parsed(path, QSettings::IniFormat);
    if (parsed.status() != QSettings::NoError)
        return QCoreApplication::translate("Settings", "%1 is not a valid settings file").arg(path);
    // The settings library takes nearly anything as INI; text that is neither
    // a section, a key with a value, a comment nor blank is not a settings file.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#'))
            || (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) || line.contains(QLatin1Char('=')))
            continue;
        // A value continued on the next line ends its line with a backslash.
        if (i > 0 && lines.at(i - 1).trimmed().endsWith(QLatin1Char('\\')))
            continue;
        return QCoreApplication::translate("Settings", "%1, line %2: not a settings line").arg(path).arg(i + 1);
    }
    return QString();
}
