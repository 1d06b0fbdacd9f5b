#pragma once
// The module's interlock output: status, control, trigger count, cause of the
// last trigger and the channel masks. Values arrive through the update slots;
// "Set Interlock Control" sends the control word.

#include <QDialog>

class CrateSession;
class QCheckBox;

namespace Ui {
class DialogInterlockOut;
}

class DialogInterlockOut : public QDialog
{
    Q_OBJECT

public:
    explicit DialogInterlockOut(QWidget *parent = nullptr);
    ~DialogInterlockOut() override;

    // Takes the current module's interlock words from the session, which reads
    // them with its module refresh while the dialog is visible.
    void bind(CrateSession *session);

    int serialNumber() const { return m_serialNumber; }

signals:
    void setInterlockControl(int serialNumber, quint32 control);

public slots:
    void updateInterlockStatus(int serialNumber, quint32 status);
    void updateInterlockControl(int serialNumber, quint32 control);
    void updateInterlockCount(int serialNumber, quint32 count);
    void updateInterlockLastTrigger(int serialNumber, quint32 lastTrigger);
    void updateInterlockChannelActualActive(int serialNumber, quint32 channelActive);
    void updateInterlockChannelEverTriggered(int serialNumber, quint32 channelTriggered);

private slots:
    void on_btnSetInterlockControl_clicked();

private:
    // One display word: the box of each bit, null where the bit has no box.
    struct Word {
        QCheckBox *boxes[16] = {};
        quint32 last = 0;
        bool shown = false;
    };
    void bindBox(Word &word, int bit, const char *name);
    void bindChannelBoxes(Word &word, const char *prefix);
    // Shows the low 16 bits (or only the given bits) when they changed.
    static void showWord(Word &word, quint32 value, quint32 bits = 0xFFFF);

    Ui::DialogInterlockOut *m_ui;
    int m_serialNumber = 0;
    Word m_status;
    Word m_control;
    Word m_lastTrigger;
    Word m_actualActive;
    Word m_everTriggered;
};
