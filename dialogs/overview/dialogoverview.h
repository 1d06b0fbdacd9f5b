#pragma once
// The system overview: every module of the crate side by side, one column per
// module and one row per channel, each cell the channel's measured voltage,
// current or both. It is fed by the main window's overview refresh and sends
// nothing back.

#include <QColor>
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class CrateSession;
class QTableWidgetItem;

namespace Ui {
class DialogOverview;
}

class DialogOverview : public QDialog
{
    Q_OBJECT

public:
    enum DisplayMode { ShowVoltages = 0, ShowCurrents = 1, ShowBoth = 2 };
    static constexpr int MaxChannels = 64;
    static constexpr int FirstChannelRow = 2;

    explicit DialogOverview(QWidget *parent = nullptr);
    ~DialogOverview() override;

    // Takes the overview values from the session, which refreshes them while
    // the dialog is visible.
    void bind(CrateSession *session);

    // Empties every cell and writes the row headers and the default units again.
    void reset();
    // Names a module's column (header text, tool tip with serial number,
    // firmware and version); adds columns as needed so that the module has one.
    void setModuleHeader(int serialNumber, const QString &text, const QString &firmware, const QString &version);

    int displayMode() const { return m_mode; }
    // The column of a module, -1 when it has none (read-only; adds nothing).
    int columnOf(int serialNumber) const { return m_serials.indexOf(serialNumber); }
    int columnLimit() const { return m_columnLimit; }

public slots:
    void updateChannelVoltageMeasure(int serialNumber, int channel, QString value);
    void updateChannelCurrentMeasure(int serialNumber, int channel, QString value);
    void updateChannelVoltageUnit(int serialNumber, int channel, QString unit);
    void updateChannelCurrentUnit(int serialNumber, int channel, QString unit);
    void updateModuleRunningState(int serialNumber, QString runningState, QColor color);
    void updateChannelVoltage(int serialNumber, int channel, float voltage, QString unit);

private slots:
    void on_showVoltages_clicked();
    void on_showCurrents_clicked();
    void on_showBoth_clicked();

private:
    struct Column {
        QStringList voltages;
        QStringList currents;
        QString voltageUnit;
        QString currentUnit;
        int unitsWrittenInMode = -1; // display mode of the last "Units" write, -1 none
    };

    // The column of a serial number; a new module gets the next free column
    // while there is one, otherwise -1 (its updates are dropped).
    int columnFor(int serialNumber);
    void appendColumn();
    void writeChannelCell(int column, int channel);
    void writeUnitsCell(int column);
    QTableWidgetItem *makeItem(const QString &voltage, const QString &current) const;

    Ui::DialogOverview *m_ui;
    QList<int> m_serials;
    QList<Column> m_columns;
    int m_columnLimit = 10;
    int m_mode = ShowVoltages;
};
