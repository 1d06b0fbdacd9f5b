#pragma once
// Shows what a profile load is about to write and asks for the go-ahead.

#include <QDialog>

namespace Ui {
class DialogWriteProfile;
}

class DialogWriteProfile : public QDialog
{
    Q_OBJECT

public:
    explicit DialogWriteProfile(QWidget *parent = nullptr);
    ~DialogWriteProfile() override;

    QString logText() const;

public slots:
    void addToLog(QString line);

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::DialogWriteProfile *m_ui;
};
