// The File and Help menus, the service functions and closing the window.

#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "applog.h"
#include "basecontroller.h"
#include "basemodule.h"
#include "dialogcrate.h"
#include "messagebox.h"
#include "product.h"
#include "settings.h"
#include "terminationsignals.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>

#include <memory>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSplitter>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------- service functions, help, close

void VexaControl::on_actionSetLiveInsertion_triggered()
{
    if (!m_session->controller())
        return;
    // The state is asked on the crate thread; the question follows.
    auto active = std::make_shared<bool>(false);
    m_session->post([this, active] {
        if (BaseController *controller = m_session->controller())
            *active = controller->isLiveInsertion();
    }, this, [this, active] {
        const QString text = *active ? tr("End the Live Insertion mode for the whole system?")
                                     : tr("Begin the Live Insertion mode for the whole system?\n\n"
                                          "Note: to plug out a module, turn off all channels in this module first!");
        if (MessageBox::question(this, productTitle(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
            return;
        const bool on = !*active;
        m_session->post([this, on] {
            if (BaseController *controller = m_session->controller())
                controller->setLiveInsertion(on);
        });
    });
}

void VexaControl::on_actionPassword_triggered()
{
    bool ok = false;
    const QString code = MessageBox::getText(this, productTitle(), tr("Please enter password:"), QLineEdit::Password,
                                             QString(), &ok);
    if (!ok)
        return;
    // Unlocking shows an action that is hidden otherwise, or it could not be used.
    if (code == QLatin1String("tor5plank")) {
        m_ui->actionSpecialMode->setVisible(true);
        m_ui->actionSpecialMode->setEnabled(true);
        unlockServiceDialogs();
    } else if (code == QLatin1String("brisel")) {
        m_ui->actionSetCrateAddress->setEnabled(true);
        if (m_dialogCrate)
            m_dialogCrate->setFanSpeedEnabled(true);
    } else if (code == QLatin1String("mavo")) {
        m_ui->actionSetFineAdjustmentOn->setVisible(true);
        m_ui->actionSetFineAdjustmentOff->setVisible(true);
        m_ui->actionSetFineAdjustmentOn->setEnabled(true);
        m_ui->actionSetFineAdjustmentOff->setEnabled(true);
        m_ui->actionSetAllModulesFineAdjustmentOn->setEnabled(true);
        m_ui->actionSetAllModulesFineAdjustmentOff->setEnabled(true);
    }
}

void VexaControl::on_actionSystemReset_triggered() {}

void VexaControl::on_actionHideShowStatusPanel_triggered()
{
    QSplitter *splitter = m_ui->splitter;
    QList<int> sizes = splitter->sizes();
    if (sizes.size() < 2)
        return;
    if (sizes.at(1) > 0) {
        m_splitterSizes = sizes;
        splitter->setSizes({sizes.at(0) + sizes.at(1), 0});
    } else {
        if (m_splitterSizes.size() < 2 || m_splitterSizes.at(1) == 0) {
            const int total = sizes.at(0);
            m_splitterSizes = {total * 2 / 3, total - total * 2 / 3};
        }
        splitter->setSizes(m_splitterSizes);
    }
}

void VexaControl::on_actionIndex_triggered()
{
    const QString path = QDir::currentPath() + QStringLiteral("/documentation/index.html");
    // The working directory's index comes first; a program started from the menu
    // runs in the home directory, so the index installed beside it is the fallback.
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/vexa/documentation/index.html"));
    const QString found = QFileInfo::exists(path) ? path : QFileInfo::exists(installed) ? installed : QString();
    if (found.isEmpty()) {
        MessageBox::warning(this, productTitle(), tr("Documentation index file not found:\n\n%1").arg(path));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(found));
}

void VexaControl::on_actionAbout_triggered()
{
    MessageBox::information(this, tr("About %1").arg(productTitle()),
                      tr("<h2>%1 Version %2</h2>"
                         "<p>Operates the high-voltage modules of an MPOD crate over SNMP.</p>")
                          .arg(productTitle(), QString::fromLatin1(Product::Version)));
}

void VexaControl::on_actionAboutQt_triggered()
{
    QMessageBox::aboutQt(this, productTitle());
}

void VexaControl::on_actionQuit_triggered()
{
    close();
}

void VexaControl::closeEvent(QCloseEvent *event)
{
    auto store = Settings::operatorStore(m_application);
    int behaviour = store->value(QStringLiteral("CloseBehavior"), 0).toInt();
    if (QGuiApplication::queryKeyboardModifiers() == Qt::ShiftModifier)
        behaviour = 2;
    if (behaviour == 0 && TerminationSignals::lastSignal() != 0)
        behaviour = 2; // ended by kill or a logout: nobody is there to answer
    const bool wasRunning = m_session->refreshTimer()->isActive();
    m_session->refreshTimer()->stop();

    if (behaviour == 0 && !m_session->modules().isEmpty()) {
        const auto answer = MessageBox::question(this, productTitle(), tr("Ramp down all high voltages?"),
                                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                                 QMessageBox::Cancel);
        if (answer == QMessageBox::No) {
            releaseScriptModule();
            event->accept();
            return;
        }
        // Anything but an explicit Yes or No (Cancel, Escape, a box that could
        // not open) keeps the window: voltages are never ramped down unasked.
        if (answer != QMessageBox::Yes) {
            if (wasRunning)
                m_session->refreshTimer()->start();
            event->ignore();
            return;
        }
    } else if (behaviour == 2) {
        releaseScriptModule();
        event->accept();
        return;
    }
    // A running script is stopped first: it could switch channels on again.
    releaseScriptModule();
    // Queued before the crate thread ends: the window's close waits for it.
    runOn(m_session->modules(), [](BaseModule *module) { module->setSelectedChannelsOff(allChannelsMask()); });
    event->accept();
}
