#include "dialogstatistic.h"
#include "ui_dialogstatistic.h"

#include "cratesession.h"
#include "logfilewriter.h"
#include "messagebox.h"
#include "product.h"

#include <QDateTime>
#include <QDir>
#include <QHideEvent>

namespace {
const QString kEnding = QStringLiteral(".csv");
} // namespace

DialogStatistic::DialogStatistic(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogStatistic)
{
    m_ui->setupUi(this);
    m_writeTimer.start();
    m_ui->txtFilename->setText(QDir::toNativeSeparators(QDir::currentPath() + QStringLiteral("/measurement") + kEnding));
    m_ui->btnStop->setEnabled(false);
    m_ui->spbChannelNumber->setEnabled(m_ui->chkSingleChannel->isChecked());
    showLinesWritten();
}

DialogStatistic::~DialogStatistic()
{
    delete m_ui;
}

void DialogStatistic::bind(CrateSession *session)
{
    connect(session, qOverload<int, int, float, QString>(&CrateSession::updateChannelVoltageMeasure), this,
            &DialogStatistic::updateChannelVoltageMeasure);
    connect(session, qOverload<int, int, float, QString>(&CrateSession::updateChannelCurrentMeasure), this,
            &DialogStatistic::updateChannelCurrentMeasure);
    connect(session, &CrateSession::updateAllModulesStarted, this, &DialogStatistic::updateAllModulesStarted);
    connect(session, &CrateSession::updateAllModulesCompleted, this, &DialogStatistic::updateAllModulesCompleted);
    connect(session, &CrateSession::updateModuleTemperature, this, &DialogStatistic::updateModuleTemperature);
    session->addViewer(CrateSession::OverviewFeed, this);
}

void DialogStatistic::setChannelCount(int count)
{
    m_channelCount = count;
    m_ui->spbChannelNumber->setMaximum(qMax(0, count - 1));
}

bool DialogStatistic::isRecording() const
{
    return m_file && m_file->isOpen();
}

bool DialogStatistic::singleChannel() const
{
    return m_ui->chkSingleChannel->isChecked();
}

bool DialogStatistic::writesVoltages() const
{
    return m_ui->writeVoltages->isChecked() || m_ui->writeVoltagesAndCurrents->isChecked();
}

bool DialogStatistic::writesCurrents() const
{
    return m_ui->writeCurrents->isChecked() || m_ui->writeVoltagesAndCurrents->isChecked();
}

int DialogStatistic::moduleSlot(int serialNumber)
{
    int slot = m_moduleSerials.indexOf(serialNumber);
    if (slot < 0 && m_moduleSerials.size() < MaxModules) {
        m_moduleSerials.append(serialNumber);
        slot = m_moduleSerials.size() - 1;
    }
    return slot;
}

int DialogStatistic::acceptedSlot(int serialNumber, int channel)
{
    // The same update signals also carry the current module's values on every
    // tick; counted too, they would give that module a second line per pass,
    // the first before its temperature is known.
    if (!m_inPass)
        return -1;
    if (singleChannel() && channel != m_ui->spbChannelNumber->value())
        return -1;
    const int slot = moduleSlot(serialNumber);
    if (slot < 0 || channel < 0 || channel >= MaxChannels)
        return -1;
    return slot;
}

void DialogStatistic::updateChannelVoltageMeasure(int serialNumber, int channel, float siValue)
{
    const int slot = acceptedSlot(serialNumber, channel);
    if (slot < 0)
        return;
    if (singleChannel() || channel == 0)
        m_pendingLines[slot].clear();
    if (writesVoltages())
        m_pendingLines[slot] += LogFileWriter::numberLocale().toString(double(siValue), 'g', 6) + QLatin1Char(';');
}

void DialogStatistic::updateChannelCurrentMeasure(int serialNumber, int channel, float siValue)
{
    const int slot = acceptedSlot(serialNumber, channel);
    if (slot < 0)
        return;
    if (writesCurrents())
        m_pendingLines[slot] += LogFileWriter::numberLocale().toString(double(siValue), 'g', 6) + QLatin1Char(';');
    const int channels = isRecording() ? m_recordedChannelCount : m_channelCount;
    if (singleChannel() || channel == channels - 1)
        writeModuleLine(serialNumber, slot);
}

void DialogStatistic::updateModuleTemperature(int serialNumber, int index, float temperature)
{
    if (index != 0)
        return;
    const int slot = moduleSlot(serialNumber);
    if (slot >= 0)
        m_temperatures[slot] = temperature;
}

void DialogStatistic::updateAllModulesStarted()
{
    m_inPass = true;
    if (m_once && !isRecording() && !startRecording())
        m_once = false; // one report of an unusable file, not one per refresh pass
}

void DialogStatistic::updateAllModulesCompleted()
{
    m_inPass = false;
    if (m_once)
        stopRecording();
}

void DialogStatistic::writeModuleLine(int serialNumber, int slot)
{
    if (!isRecording())
        return;
    if (m_writeTimer.elapsed() < m_ui->delaySpinBox->value())
        return;
    m_writeTimer.restart();
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd;HH:mm:ss.zzz"))
        + QLatin1Char(';') + QString::number(serialNumber) + QLatin1Char(';') + m_pendingLines[slot]
        + LogFileWriter::numberLocale().toString(double(m_temperatures[slot]), 'f', 1);
    if (!writeLine(line))
        return;
    ++m_linesWritten;
    showLinesWritten();
}

bool DialogStatistic::writeLine(const QString &line)
{
    if (m_file->writeLine(line.toUtf8()))
        return true;
    const QString fileName = m_file->fileName();
    const QString reason = m_file->errorString();
    stopRecording();
    warnLater(tr("Writing to file '%1' failed: %2.\n\nRecording has stopped; the lines written before are kept. "
                 "Choose another file and start again.")
                  .arg(QDir::toNativeSeparators(fileName), reason));
    return false;
}

bool DialogStatistic::startRecording()
{
    auto file = std::make_unique<LogFileWriter>();
    const QString fileName = m_ui->txtFilename->text();
    if (!file->open(fileName, LogFileWriter::PlatformLineEnds)) {
        warnLater(tr("Can not open file '%1' for writing!").arg(fileName));
        return false;
    }
    m_file = std::move(file);
    m_recordedChannelCount = m_channelCount;
    m_ui->btnStop->setEnabled(true);
    m_ui->btnStart->setEnabled(false);
    m_ui->btnSelectFile->setEnabled(false);
    m_ui->txtFilename->setEnabled(false);
    m_ui->grpChannelSelection->setEnabled(false);
    // Lines written after a change of the values would not match the header.
    m_ui->writeGroup->setEnabled(false);
    m_ui->delayGroup->setEnabled(false);

    QString header = QStringLiteral("Date;Time;Serial no.");
    QList<int> channels;
    if (singleChannel())
        channels.append(m_ui->spbChannelNumber->value());
    else
        for (int channel = 0; channel < m_recordedChannelCount; ++channel)
            channels.append(channel);
    for (int channel : std::as_const(channels)) {
        if (writesVoltages())
            header += QStringLiteral(";Vmeasure%1").arg(channel);
        if (writesCurrents())
            header += QStringLiteral(";Imeasure%1").arg(channel);
    }
    header += QStringLiteral(";Temperature");
    return writeLine(header);
}

void DialogStatistic::stopRecording()
{
    m_once = false;
    m_file.reset();
    m_ui->btnStop->setEnabled(false);
    const bool named = !m_ui->txtFilename->text().isEmpty();
    m_ui->btnStart->setEnabled(named);
    m_ui->pushButtonOnce->setEnabled(named);
    m_ui->btnSelectFile->setEnabled(true);
    m_ui->txtFilename->setEnabled(true);
    m_ui->grpChannelSelection->setEnabled(true);
    m_ui->writeGroup->setEnabled(true);
    m_ui->delayGroup->setEnabled(true);
}

void DialogStatistic::warnLater(const QString &text)
{
    // Failures surface inside a refresh pass; a modal box opened there would
    // run further passes (and a reconnect) nested inside the one in progress.
    QMetaObject::invokeMethod(
        this,
        [this, text] { MessageBox::warning(this, QString::fromLatin1(Product::Title), text); },
        Qt::QueuedConnection);
}

void DialogStatistic::showLinesWritten()
{
    m_ui->txtLinesWritten->setText(QString::number(m_linesWritten));
}

void DialogStatistic::on_btnSelectFile_clicked()
{
    QString fileName = MessageBox::getSaveFileName(this, tr("Save measurement data"), m_ui->txtFilename->text(),
                                                   tr("Measurement files (*%1)").arg(kEnding));
    if (fileName.isEmpty())
        return;
    if (!fileName.endsWith(kEnding))
        fileName += kEnding;
    m_ui->txtFilename->setText(QDir::toNativeSeparators(fileName));
}

void DialogStatistic::on_btnStart_clicked()
{
    m_linesWritten = 0;
    showLinesWritten();
    // Start replaces a pending Once, whose end would otherwise stop this recording.
    m_once = false;
    m_ui->pushButtonOnce->setEnabled(false);
    if (!startRecording())
        stopRecording();
}

void DialogStatistic::on_btnStop_clicked()
{
    stopRecording();
    m_ui->pushButtonOnce->setEnabled(true);
}

void DialogStatistic::on_pushButtonOnce_clicked()
{
    if (!isRecording())
        m_once = true;
}

void DialogStatistic::on_chkAllChannels_clicked()
{
    m_ui->spbChannelNumber->setEnabled(false);
}

void DialogStatistic::on_chkSingleChannel_clicked()
{
    m_ui->spbChannelNumber->setEnabled(true);
}

void DialogStatistic::on_txtFilename_textChanged(const QString &text)
{
    m_ui->btnStart->setEnabled(!text.isEmpty());
    m_ui->pushButtonOnce->setEnabled(!text.isEmpty());
}

void DialogStatistic::hideEvent(QHideEvent *event)
{
    // The refresh over all modules stops while the dialog is hidden: a recording
    // left open would look alive and write nothing. Minimising is not closing.
    if (!event->spontaneous() && isRecording())
        stopRecording();
    QDialog::hideEvent(event);
}
