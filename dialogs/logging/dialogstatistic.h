#pragma once
// The measurement log: records the measured voltages and currents of every
// module to a semicolon-separated file, one line per module per refresh pass
// over all modules (values outside such a pass are not recorded), with a time stamp, the serial number and the module's first
// temperature. Recording runs from Start to Stop, or for one pass (Once). The
// values arrive through the update slots; the dialog calls no module.
//
// A file that cannot be opened or written is reported once and recording stops
// with the dialog back to idle; every line is on the disk when it is counted.

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <array>
#include <memory>

class CrateSession;
class LogFileWriter;

namespace Ui {
class DialogStatistic;
}

class DialogStatistic : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxModules = 64;
    static constexpr int MaxChannels = 96;

    explicit DialogStatistic(QWidget *parent = nullptr);
    ~DialogStatistic() override;

    // Connects the value slots to the session's pass over all modules, which
    // runs while the dialog is visible.
    void bind(CrateSession *session);

    // The channel number of the main window's current module; the main window
    // calls this each time it shows the dialog.
    void setChannelCount(int count);
    int channelCount() const { return m_channelCount; }
    bool isRecording() const;
    int linesWritten() const { return m_linesWritten; }

public slots:
    void updateChannelVoltageMeasure(int serialNumber, int channel, float siValue);
    void updateChannelCurrentMeasure(int serialNumber, int channel, float siValue);
    void updateModuleTemperature(int serialNumber, int index, float temperature);
    void updateAllModulesStarted();
    void updateAllModulesCompleted();

private slots:
    void on_btnSelectFile_clicked();
    void on_btnStart_clicked();
    void on_btnStop_clicked();
    void on_pushButtonOnce_clicked();
    void on_chkAllChannels_clicked();
    void on_chkSingleChannel_clicked();
    void on_txtFilename_textChanged(const QString &text);

protected:
    void hideEvent(QHideEvent *event) override;

private:
    bool singleChannel() const;
    bool writesVoltages() const;
    bool writesCurrents() const;
    // The slot of a serial number, assigned on first sight; -1 when all are taken.
    int moduleSlot(int serialNumber);
    // Channel filter shared by the voltage and current slots; -1: ignore the value.
    int acceptedSlot(int serialNumber, int channel);
    bool startRecording();
    void stopRecording();
    void writeModuleLine(int serialNumber, int slot);
    bool writeLine(const QString &line);
    void warnLater(const QString &text);
    void showLinesWritten();

    Ui::DialogStatistic *m_ui;
    std::unique_ptr<LogFileWriter> m_file;
    QElapsedTimer m_writeTimer;
    int m_linesWritten = 0;
    bool m_once = false;
    // Between updateAllModulesStarted and updateAllModulesCompleted: only
    // values of that pass over all modules are recorded.
    bool m_inPass = false;
    int m_channelCount = 0;
    // The channel count the header of the open file was written for.
    int m_recordedChannelCount = 0;
    QList<int> m_moduleSerials;
    std::array<QString, MaxModules> m_pendingLines;
    std::array<float, MaxModules> m_temperatures{};
};
