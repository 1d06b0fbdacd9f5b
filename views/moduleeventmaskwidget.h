#pragma once
#include <QWidget>

#include "moduleeventmask.h"

namespace Ui {
class ModuleEventMaskWidget;
}

// The current module's event mask as check boxes. Like the channel mask, an
// unchanged mask from a refresh leaves the operator's unsent ticks alone.
class ModuleEventMaskWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ModuleEventMaskWidget(QWidget *parent = nullptr);
    ~ModuleEventMaskWidget() override;

    void setMask(ModuleEventMask mask);
    ModuleEventMask boxMask() const;
    // true: the stop event is called "Stop"; false: "Live Insert".
    void setStopWording(bool stop);
    bool stopWording() const { return m_stopWording; }

public slots:
    void enableButton(bool enable);

signals:
    void moduleEventMaskChanged(ModuleEventMask mask);

private slots:
    void on_setModuleEventMaskButton_clicked();

private:
    void showBoxes(ModuleEventMask mask);

    Ui::ModuleEventMaskWidget *m_ui;
    ModuleEventMask m_lastMask;
    bool m_stopWording = true;
};
