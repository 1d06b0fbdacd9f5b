#pragma once
// The flash tool's only window: crate address, Connect/Disconnect, the module
// table filled by the scan, the log, and the firmware and service tabs whose
// batches run over the ticked rows.

#include "module.h"

#include <QList>
#include <QMainWindow>
#include <QStringList>

namespace Ui {
class MainWindow;
}
namespace crateflash {
class EventMemory;
class FirmwareUpdate;
} // namespace crateflash
class QTableWidgetItem;
class QTimer;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr char Title[] = "vexa SNMP Flash";
    static constexpr char Version[] = "1.0.2.0";
    static constexpr char ServiceArgument[] = "quil";
    enum Column { CanIdColumn = 0, SerialColumn, DeviceColumn, ReleaseColumn, StatusColumn, ColumnCount };

    // arguments: the program's command line (the first argument may be the service argument).
    explicit MainWindow(const QStringList &arguments, QWidget *parent = nullptr);
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Without SNMP (the MIB could not be read) the tool can do nothing: shows why
    // and ends the program with exit code 1.
    static void endIfSnmpNotStarted(const crateflash::FirmwareUpdate &update);

    crateflash::FirmwareUpdate *firmwareUpdate() const { return m_firmwareUpdate; }
    crateflash::EventMemory *eventMemory() const { return m_eventMemory; }
    const QList<crateflash::Module> &moduleList() const { return m_modules; }
    bool isUpdating() const { return m_updating; }
    bool isClosing() const { return m_closing; }
    // The first ticked row whose module needs an update, else the first ticked row, else -1.
    int nextSelectedRow() const;
    bool isRowTicked(int row) const;
    QString cellText(int row, int column) const;
    // Text shown in the Status column for a run status code.
    static QString statusText(int code);

public slots:
    void enableTabs();
    void moduleFound(crateflash::Module newModule);
    void on_connect_clicked();
    void on_compare_clicked();
    void on_flash_clicked();
    void on_select_clicked();
    void updateFinished();
    void on_table_cellChanged(int row, int column);
    void on_fileName_textChanged(QString arg1);
    void on_disconnect_clicked();
    void processNextModule();
    void status(int code);
    void on_read16Bit_clicked();
    void on_read32Bit_clicked();
    void on_selectAll_clicked();
    void on_disselectAll_clicked();
    void on_singleBoardMode_clicked();
    void on_doubleBoardMode_clicked();
    void on_fineAdjustmentOn_clicked();
    void on_fineAdjustmentOff_clicked();
    void on_ipAddress_textChanged(QString arg1);
    void on_readStoredEvents_clicked();
    void on_clearStoredEvents_clicked();
    void on_pause_clicked();
    void on_writeMessage_clicked();
    void on_readMessage_clicked();
    void on_programCanBitRate_clicked();
    void on_clearLog_clicked();
    // A run that could not complete: the row shows it and the batch ends.
    void updateFailed(int failure, QString message);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateControls();
    void startBatch();
    void setBatchControlsEnabled(bool enabled);
    void endBatch();
    void rebuildTable();
    void setStatusCell(int row, const QString &text);
    void untick(int row);
    void appendLog(const QString &text);
    // CAN ID of a ticked row for the service actions; 0 when unusable.
    int serviceCanId(int row) const;
    // The tunnel serves one procedure at a time: while a firmware batch runs, a
    // service or event-memory action would take the received frames from the run
    // and leave it waiting forever. True (and logged) when the action must not run.
    bool refusedWhileUpdating();
    int prepareEventMemory();
    // The repeating service actions share one pending repetition: an action
    // started while another one's 20 ms repetition is still pending takes it
    // over, so the rows ticked for the new action are not served (and unticked)
    // by the old one. Batches and event-memory actions end it as well.
    void repeatServiceAction(void (MainWindow::*action)());
    void stopServiceRepeat();
    void sendModuleWord(quint16 first, quint16 second, void (MainWindow::*repeat)());
    void readMemory(bool wide);
    void sendRawMessage(bool read);

    Ui::MainWindow *m_ui;
    QStringList m_arguments;
    crateflash::FirmwareUpdate *m_firmwareUpdate = nullptr;
    crateflash::EventMemory *m_eventMemory = nullptr; // child of the window
    QList<crateflash::Module> m_modules;
    bool m_updating = false;
    bool m_stopRequested = false;
    bool m_compareRequested = false;
    bool m_closing = false;
    QTimer *m_serviceRepeat = nullptr;
    void (MainWindow::*m_serviceAction)() = nullptr;
};
