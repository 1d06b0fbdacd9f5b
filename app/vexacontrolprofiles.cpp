// The main window's module profiles (save, load) and the factory dialog.

#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "basemodule.h"
#include "cratesession.h"
#include "dialogfactory.h"
#include "dialogwriteprofile.h"
#include "factorysettings.h"
#include "messagebox.h"
#include "waiter.h"

#include <QDir>
#include <QStatusBar>

namespace {
const QString kProfileSuffix = QStringLiteral(".txt");
}

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

    setProfileActionsEnabled(false);
    QString error;
    bool saved = false;
    {
        CrateSession::RefreshPause pause(m_session);
        FactorySettings factory;
        saved = factory.save(module, fileName, &error);
    }
    setProfileActionsEnabled(true);
    if (saved)
        statusBar()->showMessage(tr("Profile saved to file %1.").arg(fileName));
    else
        MessageBox::warning(this, productTitle(), error);
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

    setProfileActionsEnabled(false);
    {
        CrateSession::RefreshPause pause(m_session);
        DialogWriteProfile dialog(this);
        FactorySettings factory;
        connect(&factory, &FactorySettings::addLineToWriteProfileLog, &dialog, &DialogWriteProfile::addToLog);
        factory.inform = [this](const QString &text) { MessageBox::information(this, productTitle(), text); };
        factory.askRetry = [this](const QString &text) {
            return MessageBox::question(this, productTitle(), text, QMessageBox::Yes | QMessageBox::No)
                   == QMessageBox::Yes;
        };
        factory.wait = [](int milliseconds) { Waiter::wait(milliseconds); };
        dialog.show();
        factory.writeProfile(module, fileName, [&dialog] {
            return MessageBox::execDialog(dialog, DialogWriteProfile::tr("Press Ok to write this configuration into the module."),
                                          dialog.logText(), {})
                   == QDialog::Accepted;
        });
    }
    setProfileActionsEnabled(true);
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
