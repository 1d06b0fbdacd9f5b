// The main window's module profiles (save, load) and the factory dialog.

#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "basemodule.h"
#include "cratesession.h"
#include "dialogfactory.h"
#include "dialogwriteprofile.h"
#include "factorysettings.h"
#include "messagebox.h"

#include <QDir>
#include <QPointer>
#include <QStatusBar>

#include <memory>

namespace {
const QString kProfileSuffix = QStringLiteral(".txt");
// Saving and loading a profile: one at a time.
const QString kProfileCommand = QStringLiteral("profile");
} // namespace

void VexaControl::setProfileActionsEnabled(bool enabled)
{
    // A load or reset polls the module while the window keeps painting; a second
    // one started from the menu meanwhile would interleave its writes.
    m_ui->actionLoadProfile->setEnabled(enabled);
    m_ui->actionSaveProfile->setEnabled(enabled);
    m_ui->actionFactorySettings->setEnabled(enabled);
}

void VexaControl::on_actionSaveProfile_triggered()
{
    BaseModule *module = m_session->currentModule();
    if (!module)
        return;
    const QString suggested = QStringLiteral("%1/%2%3").arg(m_profilePath).arg(module->serialNumber()).arg(kProfileSuffix);
    QString fileName = MessageBox::getSaveFileName(this, tr("Save Module Profile"), suggested,
                                                   tr("Profile Files (*%1)").arg(kProfileSuffix));
    if (fileName.isEmpty())
        return;
    if (!fileName.endsWith(kProfileSuffix))
        fileName += kProfileSuffix;
    if (!m_session->beginLongCommand(kProfileCommand)) {
        MessageBox::information(this, productTitle(), tr("A profile is still being saved or loaded; wait until that has finished."));
        return;
    }

    setProfileActionsEnabled(false);
    // Read and written on the crate thread; no refresh reads in between.
    struct Result {
        bool saved = false;
        QString error;
    };
    auto result = std::make_shared<Result>();
    m_session->postModules({module}, [fileName, result](BaseModule *m) {
        FactorySettings factory;
        result->saved = factory.save(m, fileName, &result->error);
    }, this, [this, fileName, result] {
        m_session->endLongCommand(kProfileCommand);
        setProfileActionsEnabled(true);
        if (result->saved)
            statusBar()->showMessage(tr("Profile saved to file %1.").arg(fileName));
        else if (!result->error.isEmpty())
            MessageBox::warning(this, productTitle(), result->error);
    });
}

void VexaControl::on_actionLoadProfile_triggered()
{
    BaseModule *module = m_session->currentModule();
    if (!module)
        return;
    const QString fileName = MessageBox::getOpenFileName(this, tr("Load Module Profile"), m_profilePath,
                                                         tr("Profile Files (*.txt)"));
    if (fileName.isEmpty())
        return;
    if (!m_session->beginLongCommand(kProfileCommand)) {
        MessageBox::information(this, productTitle(), tr("A profile is still being saved or loaded; wait until that has finished."));
        return;
    }

    setProfileActionsEnabled(false);
    // The file is read and checked here, the operator confirms on the log; the
    // writes and their read-back polls run on the crate thread, the log of the
    // dialog and the questions come back here.
    auto *dialog = new DialogWriteProfile(this);
    bool accepted = false;
    ModuleProfile profile;
    {
        FactorySettings reader;
        connect(&reader, &FactorySettings::addLineToWriteProfileLog, dialog, &DialogWriteProfile::addToLog);
        reader.inform = [this](const QString &text) { MessageBox::information(this, productTitle(), text); };
        dialog->show();
        // The confirmation only records the answer: the module is written below.
        reader.writeProfile(module, fileName, [dialog, &accepted] {
            accepted = MessageBox::execDialog(*dialog, DialogWriteProfile::tr("Press Ok to write this configuration into the module."),
                                              dialog->logText(), {})
                       == QDialog::Accepted;
            return false;
        });
        if (accepted) {
            disconnect(&reader, nullptr, dialog, nullptr);
            accepted = reader.readProfile(fileName, module->channelNumber(), &profile);
        }
    }
    if (!accepted) {
        delete dialog;
        m_session->endLongCommand(kProfileCommand);
        setProfileActionsEnabled(true);
        return;
    }
    QPointer<DialogWriteProfile> log = dialog;
    CrateSession *session = m_session;
    m_session->postModules({module}, [this, session, profile, log](BaseModule *m) {
        FactorySettings writer;
        if (log)
            connect(&writer, &FactorySettings::addLineToWriteProfileLog, log, &DialogWriteProfile::addToLog);
        writer.inform = [this, session](const QString &text) {
            session->askGuiThread(this, [this, text] {
                MessageBox::information(this, productTitle(), text);
                return true;
            });
        };
        writer.askRetry = [this, session](const QString &text) {
            return session->askGuiThread(this, [this, text] {
                return MessageBox::question(this, productTitle(), text, QMessageBox::Yes | QMessageBox::No)
                       == QMessageBox::Yes;
            });
        };
        writer.wait = [session](int milliseconds) { session->crateThreadWait(milliseconds); };
        writer.writeProfile(m, profile);
    }, this, [this, log] {
        delete log.data();
        m_session->endLongCommand(kProfileCommand);
        setProfileActionsEnabled(true);
    });
}

void VexaControl::on_actionFactorySettings_triggered()
{
    BaseModule *module = m_session->currentModule();
    if (!module)
        return;
    auto *dialog = qobject_cast<DialogFactory *>(m_dialogFactory.data());
    if (!dialog) {
        dialog = new DialogFactory(this);
        m_dialogFactory = dialog;
        dialog->bind(m_session);
    }
    dialog->setSerialNumber(module->serialNumber());
    dialog->setChannelNumber(module->serialNumber(), module->channelNumber());
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
