#pragma once
// Process-wide access to the operator settings store and the one place where
// every per-user store of the suite is opened, so that all programs resolve a
// store name to the same INI file.

#include <QObject>
#include <QSettings>
#include <memory>

class Settings : public QObject
{
    Q_OBJECT

public:
    // The shared store "vexacontrol"; creates the singleton on first use.
    static QSettings *settings();
    // Only makes sure the singleton exists.
    static void instance();

    // Opens the operator store. "vexacontrol" and "vexaControl" (the flash tool's
    // spelling) are one store: the application name is folded to lower case,
    // because on a case-sensitive file system they would otherwise be two files.
    static std::unique_ptr<QSettings> operatorStore(const QString &application = QString());

    // Opens a per-user INI store of the organisation (e.g. "addresslock", "resolution").
    static std::unique_ptr<QSettings> store(const QString &application);

    // The application name a store name resolves to (lower case for the operator store).
    static QString storeApplication(const QString &application);

    // Full path of the INI file of a store.
    static QString storeFileName(const QString &application);

    // What makes a store that exists unusable (a directory in its place, no
    // read permission, binary data, a format the settings library rejects),
    // naming the file; empty when the store is fine or does not exist (a
    // missing store simply means the defaults).
    static QString storeProblem(const QString &application);

private:
    Settings();

    QSettings *m_settings = nullptr;
};
