#include "settings.h"

#include "product.h"

#include <QDir>
#include <QStandardPaths>

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
