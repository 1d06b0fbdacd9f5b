#pragma once
// Special mode of a module: a firmware transfer that the module carries out
// itself. The dialog reads a Motorola S-record file line by line and hands each
// line to the module, paced by the module's special control word (the command
// it has taken over) and special status word; after the write pass the module
// verifies the program against a second pass of the file and runs its post-flash
// step. A second tab sends the single special-mode commands.
//
// The dialog never calls a module: the words arrive through the update slots
// and every request leaves through the three request signals.

#include <QByteArray>
#include <QDialog>
#include <QFile>
#include <QString>

#include "modulecontrol.h"
#include "modulestatus.h"

class CrateSession;
class QTimer;

namespace Ui {
class DialogSpecial;
}

class DialogSpecial : public QDialog
{
    Q_OBJECT

public:
    // Steps of the transfer.
    enum TransferState {
        Idle = 0,
        OpeningFile = 1,
        AskingSpecialMode = 2,
        WaitingInSpecialMode = 3,
        AskingSpecialModeAgain = 4,
        ChoosingPass = 5,
        WritePass = 6,
        SwitchingToVerify = 7,
        ComparePass = 8,
        VerifyPass = 9,
        AskingPostFlash = 10,
        PostFlash = 11,
        Stopped = 12,
    };

    // Special control commands.
    enum Command : quint32 {
        CmdStandby = 1,
        CmdWrite = 3,
        CmdCompare = 4,
        CmdVerify = 5,
        CmdPostFlash = 6,
        CmdEndSpecial = 7,
        CmdSync = 11,
        CmdLiveInsertion = 12,
        CmdFpgaUpdate = 13,
        CmdWaiting = 14,
    };

    // Special status codes the line handling reacts to.
    enum Status : quint32 {
        StatusLineRequest = 0x81,
        StatusLineAcknowledged = 0x84,
        StatusChecksumError = 0x92,
        StatusCompareError = 0x96,
    };

    static constexpr int DefaultTickInterval = 1000;    // ms, both countdowns
    static constexpr int DefaultStallTimeout = 15000;   // ms without progress before saying so
    static constexpr int WaitSeconds = 5;
    static constexpr int PostFlashSeconds = 20;
    static constexpr int MaxChecksumErrors = 3;
    static constexpr int MaxLineRequestsWithoutAck = 50;
    // The longest record an S-record count byte can describe: "S", type, two
    // count digits and 255 bytes of address, data and checksum.
    static constexpr int MaxLineLength = 4 + 2 * 255;
    static constexpr quint16 PagedDeviceClass = 20;

    explicit DialogSpecial(QWidget *parent = nullptr);
    ~DialogSpecial() override;

    // The module's words in, the requests out, and the special words read
    // while the dialog wants them.
    void bind(CrateSession *session);

    int transferState() const { return m_state; }
    int linesResent() const { return m_linesResent; }
    bool transferRunning() const { return m_state != Idle && m_state != Stopped; }
    quint16 deviceClass() const { return m_deviceClass; }

    // For tests: shorter ticks and stall detection; the shipped values stay.
    void setTickInterval(int milliseconds);
    void setStallTimeout(int milliseconds);

signals:
    void setModuleControl(int serialNumber, ModuleControl control);
    void setSpecialControl(int serialNumber, quint32 control);
    void sendHexLine(int serialNumber, QByteArray line);
    // The special control and status words are wanted while the dialog is
    // shown or a transfer runs (it goes on in the background after closing).
    void specialReportsWanted(bool wanted);
    void transferStateChanged(int state);

public slots:
    void updateModuleControl(int serialNumber, ModuleControl control);
    void updateModuleStatus(int serialNumber, ModuleStatus status);
    void updateModuleSpecialControlStatus(int serialNumber, quint32 control, quint32 status);
    void updateDeviceClass(quint16 dc);
    void setHexFilename(QString filename);
    void on_txtFileName_textChanged(QString text);
    void on_btnSelectFile_clicked();
    void on_btnLiveInsertion_clicked();
    void on_btnSync_clicked();
    void on_btnStandby_clicked();
    void on_btnPostFlash_clicked();
    void on_btnSendHexFile_clicked();
    void on_btnEndSpecial_clicked();
    void on_btnSetSpecial_clicked();
    void on_btnCancel_clicked();
    void timeout();
    void on_btnFpgaUpdate_clicked();

    // Closing during a transfer asks first; the transfer goes on after Yes.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    enum class ReadResult { Record, End, Error, TooLong };

    void setState(int state);
    void sendCommand(quint32 command);
    void askForSpecialMode();
    void setFileControlsEnabled(bool enabled);
    bool fromTransferModule(int serialNumber) const;

    // Line handling of a running pass.
    void lineAcknowledged(quint32 control);
    void checksumError();
    void compareError();
    void lineRequested();
    void sendLineA();
    void sendLinePaged(quint32 control);
    void transmitCurrentLine();

    // The file: records are the non-blank lines, trimmed. One record is read
    // ahead so that the end of the file is known before the last line is sent.
    ReadResult readRecord(QByteArray *record, int *lineNumber);
    bool checkWholeFile();
    void rewindFile();
    void readAhead();
    bool atEndOfRecords() const { return m_ahead == ReadResult::End; }
    bool takeNextRecord();
    QString fileErrorText(ReadResult result, int lineNumber) const;
    void stopOnFileError();
    void closeFile();
    void progressTo(qint64 position);

    void noteProgress();
    void stallDetected();
    void showStateText();
    void updateReportsWanted();

    Ui::DialogSpecial *m_ui;
    int m_state = Idle;
    QFile m_hexFile;
    ModuleControl m_control;
    ModuleStatus m_status;
    quint16 m_deviceClass = 0;
    int m_waitCount = 0;
    int m_postFlashCount = 0;
    int m_linesResent = 0;
    QTimer *m_timer = nullptr;
    QTimer *m_stallTimer = nullptr;
    int m_serialNumber = 0;
    bool m_reportsWanted = false;
    bool m_stalled = false;

    // Transfer variables; set anew at the start of every transfer.
    QByteArray m_currentLine;
    bool m_ready = true;
    bool m_resend = false;
    int m_checksumErrors = 0;
    int m_ackWaitCount = 0;

    // Read-ahead.
    QByteArray m_aheadRecord;
    ReadResult m_ahead = ReadResult::End;
    int m_aheadLine = 0;
    qint64 m_aheadEndPosition = 0;
    int m_linesRead = 0;
};
