#pragma once
// The program's one connection to a crate. The main window holds it through this
// interface; modules and the crate object keep a plain pointer and never own it.

#include <QObject>
#include <QStringList>

class BaseController : public QObject
{
    Q_OBJECT

public:
    explicit BaseController(QObject *parent = nullptr);
    ~BaseController() override;

    // True when the main window may delete the controller on reconnect or close.
    virtual bool canBeDeleted() = 0;
    virtual bool connectTo(QString address) = 0;
    virtual QString address() = 0;
    virtual bool setIpStaticAddress(QString address) = 0;
    virtual void setLiveInsertion(bool on) = 0;
    virtual bool isLiveInsertion() = 0;
    virtual QString busStatus() = 0;
    virtual QString connectionMessage() = 0;
    virtual QStringList items() = 0;
    virtual bool isConnected() = 0;
};
