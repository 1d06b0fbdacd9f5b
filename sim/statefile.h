#pragma once
// What the crate keeps across restarts: the modules' set values, ramp speeds
// and supervision settings, the crate's static address and fan settings, and
// whatever the CAN side keeps (flash images, event memories).

#include <QJsonObject>
#include <QString>

class CrateModel;

class StateFile
{
public:
    static QJsonObject capture(const CrateModel &crate, const QJsonObject &canState);
    // Applies a captured state to a crate; returns the CAN side's part.
    static QJsonObject apply(const QJsonObject &state, CrateModel &crate);

    static bool save(const QString &path, const QJsonObject &state, QString *error);
    // A missing file is not an error (empty state).
    static bool read(const QString &path, QJsonObject *state, QString *error);
};
