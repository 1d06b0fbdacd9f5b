#pragma once
// Reads a crate description (JSON) into the crate's and the modules'
// configurations. Every fault in the file is reported with what and where.

#include "cratemodel.h"

#include <QString>
#include <vector>

class CrateFile
{
public:
    bool load(const QString &path);
    bool parse(const QByteArray &json);

    QString errorString() const { return m_error; }
    const CrateModel::Config &crate() const { return m_crate; }
    const std::vector<SimModule::Config> &modules() const { return m_modules; }

    static constexpr int MaxChannels = 99;

private:
    bool fail(const QString &message);

    QString m_error;
    CrateModel::Config m_crate;
    std::vector<SimModule::Config> m_modules;
};
