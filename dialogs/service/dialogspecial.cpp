#include "dialogspecial.h"
#include "ui_dialogspecial.h"

#include "cratesession.h"
#include "messagebox.h"
#include "product.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>

namespace {
Q_LOGGING_CATEGORY(lcSpecial, "cratectl.dialogs.special")

QString title()
{
    return QString::fromLatin1(Product::Title);
}

QString hex(quint32 value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

// The six characters after the record type and count, with a colon after the
// first two: "0F:8000" for an S2 record at 0F8000.
QString addressField(const QByteArray &line)
{
    QString field = QString::fromLatin1(line.mid(4, 6));
    return field.insert(qMin(2, int(field.size())), QLatin1Char(':'));
}
} // namespace

DialogSpecial::DialogSpecial(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogSpecial)
{
    m_ui->setupUi(this);
    m_ui->progressBar->setValue(0);
    m_ui->chkS19ModeWrite->setChecked(true);
    m_timer = new QTimer(this);
    m_timer->setInterval(DefaultTickInterval);
    connect(m_timer, &QTimer::timeout, this, &DialogSpecial::timeout);
    m_stallTimer = new QTimer(this);
    m_stallTimer->setSingleShot(true);
    m_stallTimer->setInterval(DefaultStallTimeout);
    connect(m_stallTimer, &QTimer::timeout, this, &DialogSpecial::stallDetected);
    m_ui->btnSendHexFile->setEnabled(!m_ui->txtFileName->text().isEmpty());
    m_ui->btnCancel->setEnabled(false);
    showStateText();
}

DialogSpecial::~DialogSpecial()
{
    delete m_ui;
}

void DialogSpecial::bind(CrateSession *session)
{
    connect(session, &CrateSession::updateModuleControl, this, &DialogSpecial::updateModuleControl);
    connect(session, &CrateSession::updateModuleStatus, this, &DialogSpecial::updateModuleStatus);
    connect(session, &CrateSession::updateModuleSpecialControlStatus, this,
            &DialogSpecial::updateModuleSpecialControlStatus);
    connect(this, &DialogSpecial::setModuleControl, session, &CrateSession::setModuleControl);
    connect(this, &DialogSpecial::setSpecialControl, session, &CrateSession::setSpecialControl);
    connect(this, &DialogSpecial::sendHexLine, session, &CrateSession::sendHexLine);
    connect(this, &DialogSpecial::specialReportsWanted, session, &CrateSession::setSpecialReportsEnabled);
    session->setSpecialReportsEnabled(m_reportsWanted);
}

void DialogSpecial::setTickInterval(int milliseconds)
{
    m_timer->setInterval(milliseconds);
}

void DialogSpecial::setStallTimeout(int milliseconds)
{
    m_stallTimer->setInterval(milliseconds);
}

// ---- simple slots

void DialogSpecial::updateModuleControl(int serialNumber, ModuleControl control)
{
    if (!fromTransferModule(serialNumber))
        return;
    m_control = control;
}

void DialogSpecial::updateDeviceClass(quint16 dc)
{
    m_deviceClass = dc;
    if (dc == PagedDeviceClass) {
        m_ui->btnSync->setEnabled(false);
        m_ui->btnLiveInsertion->setEnabled(false);
    } else {
        m_ui->btnSync->setEnabled(true);
        m_ui->btnStandby->setEnabled(true);
    }
}

void DialogSpecial::setHexFilename(QString filename)
{
    // The file of a running transfer stays: the main window fills in the
    // default name each time the dialog is opened, also during a transfer.
    if (transferRunning())
        return;
    m_ui->txtFileName->setText(filename);
}

void DialogSpecial::on_txtFileName_textChanged(QString text)
{
    m_ui->btnSendHexFile->setEnabled(!text.isEmpty() && !transferRunning());
}

void DialogSpecial::on_btnSelectFile_clicked()
{
    // Taken as it comes: cancelling empties the name.
    m_ui->txtFileName->setText(MessageBox::getOpenFileName(this, tr("Open HEX file"), QString(),
                                                           tr("Motorola HEX files (*.hex)")));
}

void DialogSpecial::on_btnStandby_clicked()
{
    sendCommand(CmdStandby);
}

void DialogSpecial::on_btnPostFlash_clicked()
{
    sendCommand(CmdPostFlash);
}

void DialogSpecial::on_btnEndSpecial_clicked()
{
    sendCommand(CmdEndSpecial);
}

void DialogSpecial::on_btnSync_clicked()
{
    sendCommand(CmdSync);
}

void DialogSpecial::on_btnLiveInsertion_clicked()
{
    sendCommand(CmdLiveInsertion);
}

void DialogSpecial::on_btnFpgaUpdate_clicked()
{
    sendCommand(CmdFpgaUpdate);
}

void DialogSpecial::on_btnSetSpecial_clicked()
{
    askForSpecialMode();
}

void DialogSpecial::sendCommand(quint32 command)
{
    emit setSpecialControl(m_serialNumber, command);
}

void DialogSpecial::askForSpecialMode()
{
    m_control.setBit0(true);
    m_control.setSetSTOP(true);
    emit setModuleControl(m_serialNumber, m_control);
}

bool DialogSpecial::fromTransferModule(int serialNumber) const
{
    // While a transfer runs only the module it was started for drives it: the
    // reports of another module (the current module changed) are not its answers.
    return !transferRunning() || m_serialNumber == 0 || serialNumber == m_serialNumber;
}

void DialogSpecial::setFileControlsEnabled(bool enabled)
{
    m_ui->btnSelectFile->setEnabled(enabled);
    m_ui->btnSendHexFile->setEnabled(enabled && !m_ui->txtFileName->text().isEmpty());
    m_ui->grpS19Mode->setEnabled(enabled);
    m_ui->txtFileName->setEnabled(enabled);
    m_ui->btnCancel->setEnabled(!enabled);
}

void DialogSpecial::setState(int state)
{
    if (state != m_state) {
        m_state = state;
        noteProgress();
        updateReportsWanted();
        emit transferStateChanged(state);
    }
    showStateText();
}

// ---- starting and ending a transfer

void DialogSpecial::on_btnSendHexFile_clicked()
{
    const QString name = m_ui->txtFileName->text();
    if (name.isEmpty()) {
        MessageBox::information(this, title(), tr("Please select a HEX file first!"));
        return;
    }
    if (transferRunning())
        return;
    closeFile();
    // The module of the last report (the current module) is the one the transfer is for.
    setState(OpeningFile);
    m_hexFile.setFileName(name);
    if (!m_hexFile.open(QIODevice::ReadOnly | QIODevice::Text)) {
        setState(Idle);
        MessageBox::warning(this, title(), tr("Can not open HEX file %1!").arg(name));
        return;
    }
    // The whole file is read once before the module is asked for anything, so
    // that a file that cannot be read or holds a line the module does not take
    // stops here, before a single line is written.
    if (!checkWholeFile())
        return;
    rewindFile();
    m_currentLine.clear();
    m_ready = true;
    m_resend = false;
    m_checksumErrors = 0;
    m_ackWaitCount = 0;
    m_ui->txtInfo->clear();
    setState(AskingSpecialMode);
    setFileControlsEnabled(false);
}

void DialogSpecial::on_btnCancel_clicked()
{
    if (!transferRunning())
        return;
    const int was = m_state;
    m_timer->stop();
    closeFile();
    // A pass the module has taken over is ended; the post-flash step the module
    // runs by itself is left alone.
    if (was >= ChoosingPass && was <= AskingPostFlash)
        sendCommand(CmdStandby);
    setState(Idle);
    setFileControlsEnabled(true);
    m_ui->txtAddress->setText(tr("Cancelled"));
}

void DialogSpecial::reject()
{
    if (transferRunning()
        && MessageBox::question(this, title(),
                                tr("Update is running! Close anyway? (Update will continue in background)"),
                                QMessageBox::Yes | QMessageBox::No)
               != QMessageBox::Yes)
        return;
    QDialog::reject();
}

void DialogSpecial::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    updateReportsWanted();
}

void DialogSpecial::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    updateReportsWanted();
}

void DialogSpecial::updateReportsWanted()
{
    const bool wanted = isVisible() || transferRunning();
    if (wanted != m_reportsWanted) {
        m_reportsWanted = wanted;
        emit specialReportsWanted(wanted);
    }
}

// ---- reports of the module

void DialogSpecial::updateModuleStatus(int serialNumber, ModuleStatus status)
{
    if (!fromTransferModule(serialNumber))
        return;
    if (!transferRunning())
        m_serialNumber = serialNumber;
    m_status = status;
    m_ui->btnLiveInsertion->setEnabled(status.isSPMD());
    if (m_state == AskingSpecialMode || m_state == AskingSpecialModeAgain) {
        askForSpecialMode();
        if (status.isSPMD())
            setState(m_state == AskingSpecialMode ? WaitingInSpecialMode : ChoosingPass);
    }
}

void DialogSpecial::updateModuleSpecialControlStatus(int serialNumber, quint32 control, quint32 status)
{
    if (!fromTransferModule(serialNumber))
        return;
    if (!transferRunning())
        m_serialNumber = serialNumber;
    m_ui->lblSpecialControlStatus->setText(
        QStringLiteral("SpecialControl = 0x%1, SpecialStatus = 0x%2").arg(hex(control, 8), hex(status, 8)));
    switch (m_state) {
    case WaitingInSpecialMode:
        sendCommand(CmdWaiting);
        // The wait starts with the first report. Reports come with every refresh,
        // far more often than the wait lasts; restarting it on each one would
        // never let it end.
        if (!m_timer->isActive()) {
            m_waitCount = 0;
            m_ui->progressBar->setRange(0, WaitSeconds);
            m_ui->progressBar->setValue(0);
            m_ui->txtAddress->setText(tr("Waiting..."));
            m_timer->start();
        }
        break;
    case ChoosingPass: {
        const bool write = m_ui->chkS19ModeWrite->isChecked();
        const quint32 command = write ? CmdWrite : CmdCompare;
        sendCommand(command);
        if (control == command) {
            m_ui->progressBar->setRange(0, int(qMin<qint64>(m_hexFile.size(), INT_MAX)));
            m_ui->progressBar->setValue(0);
            setState(write ? WritePass : ComparePass);
            return;
        }
        break;
    }
    case SwitchingToVerify:
        sendCommand(CmdVerify);
        if (control == CmdVerify) {
            m_ui->progressBar->setValue(0);
            setState(VerifyPass);
            return;
        }
        break;
    case AskingPostFlash:
        if (control == CmdPostFlash) {
            setState(PostFlash);
            m_postFlashCount = 0;
            m_ui->progressBar->setRange(0, PostFlashSeconds);
            m_ui->progressBar->setValue(0);
            m_ui->txtAddress->setText(tr("PostFlash"));
            m_timer->start();
            return;
        }
        sendCommand(CmdPostFlash);
        break;
    case WritePass:
    case ComparePass:
    case VerifyPass:
        switch (status) {
        case StatusLineAcknowledged:
            lineAcknowledged(control);
            break;
        case StatusChecksumError:
            checksumError();
            break;
        case StatusCompareError:
            compareError();
            break;
        case StatusLineRequest:
            lineRequested();
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    if (control == CmdEndSpecial) {
        m_control.setBit0(false);
        m_control.setSetSTOP(false);
        emit setModuleControl(m_serialNumber, m_control);
    }
}

void DialogSpecial::lineAcknowledged(quint32 control)
{
    m_ackWaitCount = 0;
    noteProgress();
    if (m_ahead == ReadResult::Error || m_ahead == ReadResult::TooLong) {
        stopOnFileError();
        return;
    }
    if (!atEndOfRecords()) {
        if (m_deviceClass == PagedDeviceClass) {
            sendLinePaged(control);
        } else {
            if (!m_ready)
                sendCommand(CmdStandby);
            m_ready = true;
        }
        return;
    }
    sendCommand(CmdStandby);
    m_ready = true;
    if (m_state == WritePass) {
        rewindFile();
        setState(SwitchingToVerify);
    } else if (m_state == VerifyPass) {
        closeFile();
        setState(AskingPostFlash);
    } else {
        // State and file first: the box waits for the operator while reports go on.
        closeFile();
        setState(Idle);
        setFileControlsEnabled(true);
        MessageBox::information(this, title(), tr("HEX file compare complete!"));
    }
}

void DialogSpecial::checksumError()
{
    // Counted per line: sending the same line again does not start the count
    // anew, or a line the module always rejects would be sent forever.
    ++m_checksumErrors;
    const bool giveUp = m_checksumErrors >= MaxChecksumErrors;
    if (giveUp) {
        closeFile();
        setState(Stopped);
        setFileControlsEnabled(true);
    }
    ++m_linesResent;
    m_ui->txtInfo->setText(tr("%1 HEX Lines sent again.").arg(m_linesResent));
    m_resend = true;
    sendCommand(CmdStandby);
    if (giveUp)
        MessageBox::warning(this, title(),
                            tr("%1 Checksum Errors while transmitting HEX File. Giving Up!").arg(m_checksumErrors));
}

void DialogSpecial::compareError()
{
    closeFile();
    setState(Stopped);
    sendCommand(CmdStandby);
    setFileControlsEnabled(true);
    MessageBox::warning(this, title(), tr("Compare Error: Programs in Controller and HEX fileare not identical!"));
}

void DialogSpecial::lineRequested()
{
    ++m_ackWaitCount;
    if (m_ackWaitCount > MaxLineRequestsWithoutAck) {
        sendCommand(CmdStandby);
        qCDebug(lcSpecial) << "Acknowledge timeout, resuming hex line";
        m_ackWaitCount = 0;
        m_resend = true;
    }
    if (m_resend)
        transmitCurrentLine();
    else if (m_ready)
        sendLineA();
}

void DialogSpecial::sendLineA()
{
    if (!takeNextRecord())
        return;
    m_ui->txtAddress->setText((m_state == WritePass ? tr("Burning: ") : tr("Comparing: ")) + addressField(m_currentLine));
    transmitCurrentLine();
}

void DialogSpecial::sendLinePaged(quint32 control)
{
    sendCommand(CmdStandby);
    if (control != CmdStandby) {
        m_ready = true;
        return;
    }
    if (m_resend) {
        transmitCurrentLine();
        m_ready = true;
        return;
    }
    if (!takeNextRecord())
        return;
    const QString prefix = m_state == WritePass ? tr("Burning: ") : tr("Comparing: ");
    if (m_currentLine.size() > 1 && m_currentLine.at(1) == '2') {
        const quint32 address = m_currentLine.mid(4, 6).toUInt(nullptr, 16);
        quint32 page = 0;
        quint32 offset = address & 0xFFFF;
        if ((address >> 16) >= 0x0E) {
            page = address >> 14;
            offset = (address & 0x3FFF) + 0x8000;
        }
        m_ui->txtAddress->setText(prefix + hex(page, 2) + QLatin1Char(':') + hex(offset, 4));
    } else {
        // Other records have no paged address: shown as on the plain path.
        m_ui->txtAddress->setText(prefix + addressField(m_currentLine));
    }
    transmitCurrentLine();
    m_ready = true;
}

void DialogSpecial::transmitCurrentLine()
{
    m_resend = false;
    m_ready = false;
    noteProgress();
    emit sendHexLine(m_serialNumber, m_currentLine);
}

// ---- timer

void DialogSpecial::timeout()
{
    if (m_state == PostFlash) {
        ++m_postFlashCount;
        m_ui->progressBar->setValue(m_postFlashCount);
        noteProgress();
        if (m_postFlashCount >= PostFlashSeconds) {
            setState(Idle);
            setFileControlsEnabled(true);
            m_timer->stop();
            sendCommand(CmdEndSpecial);
        }
    } else if (m_state == WaitingInSpecialMode) {
        ++m_waitCount;
        m_ui->progressBar->setValue(m_waitCount);
        if (m_waitCount >= WaitSeconds) {
            m_timer->stop();
            setState(AskingSpecialModeAgain);
            sendCommand(m_ui->chkS19ModeWrite->isChecked() ? CmdWrite : CmdCompare);
        }
    } else {
        m_timer->stop();
    }
}

// ---- the file

DialogSpecial::ReadResult DialogSpecial::readRecord(QByteArray *record, int *lineNumber)
{
    // Room for the longest record and its line end; a longer line shows as a
    // read that ends without one.
    constexpr qint64 limit = MaxLineLength + 16;
    for (;;) {
        const QByteArray raw = m_hexFile.readLine(limit);
        if (m_hexFile.error() != QFileDevice::NoError)
            return ReadResult::Error;
        if (raw.isEmpty())
            return ReadResult::End;
        ++m_linesRead;
        *lineNumber = m_linesRead;
        if (!raw.endsWith('\n') && !m_hexFile.atEnd())
            return ReadResult::TooLong;
        const QByteArray line = raw.trimmed();
        if (line.size() > MaxLineLength)
            return ReadResult::TooLong;
        // Blank lines are not records; sent, the module would reject them.
        if (line.isEmpty())
            continue;
        *record = line;
        return ReadResult::Record;
    }
}

bool DialogSpecial::checkWholeFile()
{
    m_linesRead = 0;
    int records = 0;
    QByteArray record;
    int lineNumber = 0;
    ReadResult result;
    while ((result = readRecord(&record, &lineNumber)) == ReadResult::Record)
        ++records;
    QString problem;
    if (result != ReadResult::End)
        problem = fileErrorText(result, lineNumber);
    else if (records == 0)
        problem = tr("HEX file %1 holds no records.").arg(m_hexFile.fileName());
    if (problem.isEmpty())
        return true;
    closeFile();
    setState(Idle);
    MessageBox::warning(this, title(), problem);
    return false;
}

QString DialogSpecial::fileErrorText(ReadResult result, int lineNumber) const
{
    if (result == ReadResult::TooLong)
        return tr("Line %1 of HEX file %2 is longer than %3 characters; the module does not take it. "
                  "No further line is sent.")
            .arg(lineNumber)
            .arg(m_hexFile.fileName())
            .arg(MaxLineLength);
    return tr("Can not read HEX file %1: %2. No further line is sent.")
        .arg(m_hexFile.fileName(), m_hexFile.errorString());
}

void DialogSpecial::rewindFile()
{
    m_hexFile.seek(0);
    m_linesRead = 0;
    readAhead();
}

void DialogSpecial::readAhead()
{
    m_aheadRecord.clear();
    m_ahead = readRecord(&m_aheadRecord, &m_aheadLine);
    m_aheadEndPosition = m_hexFile.pos();
}

bool DialogSpecial::takeNextRecord()
{
    if (m_ahead == ReadResult::End)
        return false;
    if (m_ahead != ReadResult::Record) {
        stopOnFileError();
        return false;
    }
    m_currentLine = m_aheadRecord;
    m_checksumErrors = 0;
    progressTo(m_aheadEndPosition);
    readAhead();
    return true;
}

void DialogSpecial::progressTo(qint64 position)
{
    m_ui->progressBar->setValue(int(qMin<qint64>(position, m_ui->progressBar->maximum())));
}

void DialogSpecial::stopOnFileError()
{
    const QString problem = fileErrorText(m_ahead, m_aheadLine);
    m_timer->stop();
    closeFile();
    setState(Stopped);
    sendCommand(CmdStandby);
    setFileControlsEnabled(true);
    MessageBox::warning(this, title(), problem);
}

void DialogSpecial::closeFile()
{
    if (m_hexFile.isOpen())
        m_hexFile.close();
    m_ahead = ReadResult::End;
}

// ---- telling the operator where the transfer stands

void DialogSpecial::noteProgress()
{
    if (m_stalled) {
        m_stalled = false;
        showStateText();
    }
    if (transferRunning() && m_state != PostFlash)
        m_stallTimer->start();
    else
        m_stallTimer->stop();
}

void DialogSpecial::stallDetected()
{
    if (!transferRunning() || m_state == PostFlash)
        return;
    m_stalled = true;
    showStateText();
}

void DialogSpecial::showStateText()
{
    QString text;
    switch (m_state) {
    case OpeningFile:
        text = tr("Opening the HEX file...");
        break;
    case AskingSpecialMode:
    case AskingSpecialModeAgain:
        text = tr("Asking the module for special mode...");
        break;
    case WaitingInSpecialMode:
        text = tr("Module in special mode, waiting...");
        break;
    case ChoosingPass:
        text = tr("Asking the module to take the HEX file...");
        break;
    case WritePass:
        text = tr("Writing...");
        break;
    case SwitchingToVerify:
        text = tr("Asking the module to verify...");
        break;
    case ComparePass:
        text = tr("Comparing...");
        break;
    case VerifyPass:
        text = tr("Verifying...");
        break;
    case AskingPostFlash:
        text = tr("Asking the module for post flash...");
        break;
    case PostFlash:
        text = tr("Post flash...");
        break;
    case Stopped:
        text = tr("Stopped.");
        break;
    default:
        break;
    }
    if (m_stalled) {
        const int seconds = (m_stallTimer->interval() + 999) / 1000;
        const QString lines = m_state < WritePass || m_state == ComparePass
                                  ? tr("No line has been written.")
                                  : tr("The module may hold an incomplete program.");
        text = QStringLiteral("<font color=\"red\">%1</font>")
                   .arg(tr("No progress for %1 s: the module does not answer step %2 (%3). "
                           "%4 Press Cancel to end the transfer.")
                            .arg(seconds)
                            .arg(m_state)
                            .arg(text, lines));
    }
    m_ui->lblTransferStatus->setText(text);
}
