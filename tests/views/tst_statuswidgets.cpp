// Status and event-mask widgets, the ramp-speed field and its validator.
#include "channeleventmaskwidget.h"
#include "channelstatuswidget.h"
#include "moduleeventmaskwidget.h"
#include "modulestatuswidget.h"
#include "rampinputvalidator.h"
#include "rampspeedlineedit.h"
#include "testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {

const QString green = QStringLiteral("<font color=\"darkgreen\"><strong>");
const QString red = QStringLiteral("<font color=\"red\"><strong>");
const QString gray = QStringLiteral("<font color=\"gray\">");

QString labelText(const QWidget &widget, const char *name)
{
    const QLabel *label = widget.findChild<QLabel *>(QString::fromLatin1(name));
    if (!label)
        return QStringLiteral("<no label %1>").arg(QLatin1String(name));
    return label->text();
}

QCheckBox *box(const QWidget &widget, const char *name)
{
    return widget.findChild<QCheckBox *>(QString::fromLatin1(name));
}

ModuleStatus allGood()
{
    ModuleStatus status;
    status.setIsMODgd(true);
    status.setIsTMPgd(true);
    status.setIsSFLPgd(true);
    status.setIsSPLYgd(true);
    status.setIsnoSERR(true);
    return status;
}

} // namespace

class TestStatusWidgets : public QObject
{
    Q_OBJECT

private slots:
    void channelStatusLabels_data();
    void channelStatusLabels();
    void channelEventLabels();
    void lowVoltageModuleKeepsContent();
    void channelMaskKeepsUnsentTicks();
    void channelMaskButtonEmitsBoxes();
    void channelMaskSharedBetweenInstances();
    void moduleStatusLabels();
    void moduleSummary_data();
    void moduleSummary();
    void moduleEventLabelsAndStopWording();
    void moduleEventMask();
    void formObjectNames();
    void rampFieldNotOverwrittenWhileFocused();
    void rampValidator_data();
    void rampValidator();
};

void TestStatusWidgets::channelStatusLabels_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected");
    QTest::newRow("CV") << int(ChannelStatus::F_isCV) << "channelStatusConstantVoltage"
                        << green + "Constant Voltage";
    QTest::newRow("ramp") << int(ChannelStatus::F_isRAMP) << "channelStatusRamping" << green + "Ramping";
    QTest::newRow("LCR") << int(ChannelStatus::F_isLCR) << "channelStatusLowCurrentRange"
                         << green + "Low Current Range";
    QTest::newRow("trip") << int(ChannelStatus::F_isTRIP) << "channelStatusCurrentTrip" << red + "Current Trip";
    QTest::newRow("emergency") << int(ChannelStatus::F_isEMCY) << "channelStatusEmergencyOff"
                               << red + "Emergency Off";
    QTest::newRow("inhibit") << int(ChannelStatus::F_isEINH) << "channelStatusExternalInhibit"
                             << red + "External Inhibit";
    QTest::newRow("input error") << int(ChannelStatus::F_isIERR) << "channelStatusInputError"
                                 << red + "Input Error";
    QTest::newRow("voltage bounds") << int(ChannelStatus::F_isVBNDs) << "channelStatusVoltageBounds"
                                    << red + "Voltage Bounds";
}

void TestStatusWidgets::channelStatusLabels()
{
    QFETCH(int, flag);
    QFETCH(QString, label);
    QFETCH(QString, expected);
    ChannelStatusWidget widget;
    ChannelStatus status;
    status.setFlag(flag, true);
    widget.updateStatus(status);
    QCOMPARE(labelText(widget, label.toLatin1().constData()), expected);

    // Every other label of the group is gray.
    const auto labels = widget.findChild<QWidget *>("channelStatusGroup")->findChildren<QLabel *>();
    QCOMPARE(labels.size(), 13);
    for (const QLabel *other : labels) {
        if (other->objectName() != label)
            QVERIFY2(other->text().startsWith(gray), qPrintable(other->objectName() + ": " + other->text()));
    }
    // The flag clears: back to gray.
    widget.updateStatus(ChannelStatus());
    QVERIFY(labelText(widget, label.toLatin1().constData()).startsWith(gray));
}

void TestStatusWidgets::channelEventLabels()
{
    ChannelStatusWidget widget;
    ChannelEventStatus events;
    events.setEEOR(true);
    events.setEVLIM(true);
    widget.updateEventStatus(events);
    QCOMPARE(labelText(widget, "channelEventEndOfRamping"), green + "End of Ramping");
    QCOMPARE(labelText(widget, "channelEventVoltageLimit"), red + "Voltage Limit");
    QCOMPARE(labelText(widget, "channelEventOnToOff"), gray + "On to Off");
    QCOMPARE(labelText(widget, "channelEventCurrentTrip"), gray + "Current Trip");
    // Status and event groups are independent.
    QCOMPARE(labelText(widget, "channelStatusVoltageLimit"), gray + "Voltage Limit");
}

void TestStatusWidgets::lowVoltageModuleKeepsContent()
{
    ChannelStatusWidget channel;
    ChannelStatus on;
    on.setIsON(true);
    channel.updateStatus(on);
    channel.setLowVoltageModule(true);
    channel.updateStatus(ChannelStatus());
    ChannelEventStatus events;
    events.setETRIP(true);
    channel.updateEventStatus(events);
    QCOMPARE(labelText(channel, "channelStatusOn"), green + "On");
    QCOMPARE(labelText(channel, "channelEventCurrentTrip"), gray + "Current Trip");
    channel.setLowVoltageModule(false);
    channel.updateStatus(ChannelStatus());
    QCOMPARE(labelText(channel, "channelStatusOn"), gray + "On");

    ModuleStatusWidget module;
    module.updateStatus(allGood());
    module.setLowVoltageModule(true);
    module.updateStatus(ModuleStatus());
    QCOMPARE(labelText(module, "moduleStatusModuleGood"), green + "Module is good");
    QVERIFY(module.summaryText().isEmpty());
}

void TestStatusWidgets::channelMaskKeepsUnsentTicks()
{
    ChannelEventMaskWidget widget;
    ChannelEventMask mask;
    mask.setETRIP(true);
    mask.setEVLIM(true);
    widget.setMask(mask);
    QVERIFY(box(widget, "channelEventMaskCurrentTrip")->isChecked());
    QVERIFY(box(widget, "channelEventMaskVoltageLimit")->isChecked());
    QVERIFY(!box(widget, "channelEventMaskOn")->isChecked());

    // The operator ticks a box but has not pressed "Set Mask" yet.
    box(widget, "channelEventMaskOn")->setChecked(true);
    box(widget, "channelEventMaskCurrentTrip")->setChecked(false);
    widget.setMask(mask); // the refresh brings the same mask again
    QVERIFY(box(widget, "channelEventMaskOn")->isChecked());
    QVERIFY(!box(widget, "channelEventMaskCurrentTrip")->isChecked());

    // A different mask (another channel, or the module changed it) replaces the ticks.
    ChannelEventMask other;
    other.setEEOR(true);
    widget.setMask(other);
    QVERIFY(!box(widget, "channelEventMaskOn")->isChecked());
    QVERIFY(!box(widget, "channelEventMaskVoltageLimit")->isChecked());
    QVERIFY(box(widget, "channelEventMaskEndOfRamp")->isChecked());
    QCOMPARE(ChannelEventMaskWidget::lastMask().toWord(), other.toWord());
}

void TestStatusWidgets::channelMaskButtonEmitsBoxes()
{
    ChannelEventMaskWidget widget;
    QSignalSpy spy(&widget, &ChannelEventMaskWidget::channelEventMaskChanged);
    widget.setMask(ChannelEventMask::allSet());
    box(widget, "channelEventMaskConstantCurrent")->setChecked(false);
    auto *button = widget.findChild<QPushButton *>("setChannelEventMaskButton");
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Set Mask"));
    button->click();
    QCOMPARE(spy.size(), 1);
    ChannelEventMask expected = ChannelEventMask::allSet();
    expected.setECC(false);
    QCOMPARE(spy.at(0).at(0).value<ChannelEventMask>().toWord(), expected.toWord());

    widget.enableButton(false);
    QVERIFY(!button->isEnabled());
    widget.enableButton(true);
    QVERIFY(button->isEnabled());
}

void TestStatusWidgets::channelMaskSharedBetweenInstances()
{
    ChannelEventMask mask;
    mask.setECLIM(true);
    ChannelEventMaskWidget first;
    first.setMask(mask);
    // A second widget starts from the remembered mask, and an equal mask keeps it.
    ChannelEventMaskWidget second;
    QVERIFY(box(second, "channelEventMaskCurrentLimit")->isChecked());
    second.setMask(mask);
    QVERIFY(box(second, "channelEventMaskCurrentLimit")->isChecked());
    QCOMPARE(ChannelEventMaskWidget::lastMask().toWord(), mask.toWord());
}

void TestStatusWidgets::moduleStatusLabels()
{
    ModuleStatusWidget widget;
    ModuleStatus status = allGood();
    status.setIsKILena(true);
    status.setIsnoRAMP(true);
    status.setIsHVON(true);
    widget.updateStatus(status);
    QCOMPARE(labelText(widget, "moduleStatusModuleGood"), green + "Module is good");
    QCOMPARE(labelText(widget, "moduleStatusTemperature"), green + "Temperature is good");
    QCOMPARE(labelText(widget, "moduleStatusSafetyLoop"), green + "Safety Loop is closed");
    QCOMPARE(labelText(widget, "moduleStatusSupply"), green + "Supply is good");
    QCOMPARE(labelText(widget, "moduleStatusService"), QString());
    QCOMPARE(labelText(widget, "moduleStatusEventActive"), green + "No Event Active");
    QCOMPARE(labelText(widget, "moduleStatusNoSumError"), green + "No Sum Error");
    QCOMPARE(labelText(widget, "moduleStatusInputError"), green + "No Input Error");
    QCOMPARE(labelText(widget, "moduleStatusAdjustment"), gray + "Adjustment is off");
    QCOMPARE(labelText(widget, "moduleStatusKillEnable"), green + "Kill is enabled");
    QCOMPARE(labelText(widget, "moduleStatusNoRamp"), green + "No Ramp");
    QCOMPARE(labelText(widget, "moduleStatusHighVoltageOn"), green + "High Voltage On");
    QVERIFY(widget.summaryText().isEmpty());

    ModuleStatus bad;
    bad.setIsSrvc(true);
    bad.setIsEVNTact(true);
    bad.setIsIERR(true);
    bad.setIsADJ(true);
    widget.updateStatus(bad);
    QCOMPARE(labelText(widget, "moduleStatusModuleGood"), red + "Module is bad");
    QCOMPARE(labelText(widget, "moduleStatusService"), red + "Service is needed");
    QCOMPARE(labelText(widget, "moduleStatusEventActive"), red + "Event Active");
    QCOMPARE(labelText(widget, "moduleStatusNoSumError"), red + "Sum Error");
    QCOMPARE(labelText(widget, "moduleStatusInputError"), red + "Input Error");
    QCOMPARE(labelText(widget, "moduleStatusAdjustment"), green + "Adjustment is on");
    QCOMPARE(labelText(widget, "moduleStatusKillEnable"), gray + "Kill is disabled");
    QCOMPARE(labelText(widget, "moduleStatusNoRamp"), gray + "Ramping");
    QCOMPARE(labelText(widget, "moduleStatusHighVoltageOn"), QString());
}

void TestStatusWidgets::moduleSummary_data()
{
    QTest::addColumn<QList<int>>("cleared");
    QTest::addColumn<bool>("service");
    QTest::addColumn<QString>("summary");
    QTest::newRow("all good") << QList<int>{} << false << QString();
    QTest::newRow("module bad") << QList<int>{ModuleStatus::F_isMODgd} << false << red + "Module is bad";
    QTest::newRow("supply after temperature")
        << QList<int>{ModuleStatus::F_isSPLYgd, ModuleStatus::F_isTMPgd} << false << red + "Supply is bad";
    QTest::newRow("safety loop after module")
        << QList<int>{ModuleStatus::F_isMODgd, ModuleStatus::F_isSFLPgd} << false << red + "Safety Loop is open";
    QTest::newRow("service last") << QList<int>{ModuleStatus::F_isSPLYgd} << true << red + "Service is needed";
    QTest::newRow("sum error is not summarised") << QList<int>{ModuleStatus::F_isnoSERR} << false << QString();
}

void TestStatusWidgets::moduleSummary()
{
    QFETCH(QList<int>, cleared);
    QFETCH(bool, service);
    QFETCH(QString, summary);
    ModuleStatusWidget widget;
    widget.updateStatus(ModuleStatus()); // a previous bad state must not linger
    ModuleStatus status = allGood();
    for (int flag : cleared)
        status.setFlag(flag, false);
    status.setIsSrvc(service);
    widget.updateStatus(status);
    QCOMPARE(widget.summaryText(), summary);
}

void TestStatusWidgets::moduleEventLabelsAndStopWording()
{
    ModuleStatusWidget widget;
    ModuleEventStatus events;
    events.setETMPngd(true);
    events.setESTOP(true);
    events.setEPWRFAIL(true);
    widget.updateEventStatus(events);
    QCOMPARE(labelText(widget, "moduleEventTemperature"), red + "Temperature was too high.");
    QCOMPARE(labelText(widget, "moduleEventStop"), red + "Stop");
    QCOMPARE(labelText(widget, "moduleEventPowerFail"), red + "Power Fail");
    QCOMPARE(labelText(widget, "moduleEventSupply"), QString());
    QCOMPARE(labelText(widget, "moduleEventRestart"), QString());

    widget.setStopWording(false);
    QCOMPARE(labelText(widget, "moduleEventStop"), red + "Live Insert");
    events = ModuleEventStatus();
    events.setESrvc(true);
    widget.updateEventStatus(events);
    QCOMPARE(labelText(widget, "moduleEventStop"), QString());
    QCOMPARE(labelText(widget, "moduleEventService"), red + "Service is needed.");

    auto *clear = widget.findChild<QPushButton *>("clearModuleEventsButton");
    QVERIFY(clear);
    QSignalSpy clicked(&widget, &ModuleStatusWidget::clearEventsClicked);
    clear->click();
    QCOMPARE(clicked.size(), 1);
    widget.enableClearButton(false);
    QVERIFY(!clear->isEnabled());
}

void TestStatusWidgets::moduleEventMask()
{
    ModuleEventMaskWidget widget;
    QSignalSpy spy(&widget, &ModuleEventMaskWidget::moduleEventMaskChanged);
    ModuleEventMask mask;
    mask.setESFLPngd(true);
    mask.setESTOP(true);
    widget.setMask(mask);
    QVERIFY(box(widget, "moduleMaskSafetyLoop")->isChecked());
    QVERIFY(box(widget, "moduleMaskStop")->isChecked());
    QVERIFY(!box(widget, "moduleMaskSupply")->isChecked());

    box(widget, "moduleMaskSupply")->setChecked(true);
    widget.setMask(mask);
    QVERIFY(box(widget, "moduleMaskSupply")->isChecked());

    widget.findChild<QPushButton *>("setModuleEventMaskButton")->click();
    QCOMPARE(spy.size(), 1);
    ModuleEventMask expected = mask;
    expected.setESPLYngd(true);
    QCOMPARE(spy.at(0).at(0).value<ModuleEventMask>().toWord(), expected.toWord());

    QCOMPARE(box(widget, "moduleMaskStop")->text(), QStringLiteral("Stop"));
    widget.setStopWording(false);
    QCOMPARE(box(widget, "moduleMaskStop")->text(), QStringLiteral("Live Insert"));
    widget.setStopWording(true);
    QCOMPARE(box(widget, "moduleMaskStop")->text(), QStringLiteral("Stop"));
}

void TestStatusWidgets::formObjectNames()
{
    ChannelStatusWidget channelStatus;
    QVERIFY(channelStatus.findChild<QWidget *>("channelStatusGroup"));
    QVERIFY(channelStatus.findChild<QWidget *>("channelEventStatusGroup"));
    QCOMPARE(channelStatus.findChild<QPushButton *>("clearChannelEventsButton")->text(),
             QStringLiteral("Clear Events"));
    QCOMPARE(channelStatus.findChild<QWidget *>("channelEventStatusGroup")->findChildren<QLabel *>().size(), 12);

    ChannelEventMaskWidget channelMask;
    for (const char *name :
         {"channelEventMaskConstantVoltage", "channelEventMaskConstantCurrent", "channelEventMaskExternalInhibit",
          "channelEventMaskOn", "channelEventMaskCurrentTrip", "channelEventMaskCurrentLimit",
          "channelEventMaskInputError", "channelEventMaskVoltageLimit", "channelEventMaskCurrentBounds",
          "channelEventMaskEmergencyOff", "channelEventMaskVoltageBounds", "channelEventMaskEndOfRamp"})
        QVERIFY2(box(channelMask, name), name);
    QCOMPARE(box(channelMask, "channelEventMaskOn")->text(), QStringLiteral("On to Off"));

    ModuleStatusWidget moduleStatus;
    QVERIFY(moduleStatus.findChild<QWidget *>("moduleStatusGroup"));
    QVERIFY(moduleStatus.findChild<QWidget *>("moduleEventStatusGroup"));
    QCOMPARE(moduleStatus.findChild<QWidget *>("moduleStatusGroup")->findChildren<QLabel *>().size(), 12);
    QCOMPARE(moduleStatus.findChild<QWidget *>("moduleEventStatusGroup")->findChildren<QLabel *>().size(), 8);

    ModuleEventMaskWidget moduleMask;
    for (const char *name : {"moduleMaskSafetyLoop", "moduleMaskTemperature", "moduleMaskSupply", "moduleMaskService",
                             "moduleMaskRestart", "moduleMaskPowerFail", "moduleMaskStop", "moduleMaskInputError"})
        QVERIFY2(box(moduleMask, name), name);
}

void TestStatusWidgets::rampFieldNotOverwrittenWhileFocused()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *field = new RampSpeedLineEdit(&window);
    auto *other = new QLineEdit(&window);
    layout->addWidget(field);
    layout->addWidget(other);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(qobject_cast<const RampInputValidator *>(field->validator()));
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QVERIFY(!field->isEditing());

    field->setText("12.5");
    QCOMPARE(field->text(), QStringLiteral("12.5"));

    // The first click into the field selects all of it.
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(5, field->height() / 2));
    QTRY_VERIFY(field->hasFocus());
    QVERIFY(field->isEditing());
    QCOMPARE(field->selectedText(), QStringLiteral("12.5"));

    QTest::keyClicks(field, "30");
    QCOMPARE(field->text(), QStringLiteral("30"));
    field->setText("12.5"); // refresh
    QCOMPARE(field->text(), QStringLiteral("30"));

    // A second click places the cursor as usual.
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 4, field->height() / 2));
    QVERIFY(field->selectedText().isEmpty());

    other->setFocus();
    QTRY_VERIFY(!field->isEditing());
    field->setText("15");
    QCOMPARE(field->text(), QStringLiteral("15"));
}

void TestStatusWidgets::rampValidator_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("result");
    QTest::newRow("empty") << "C" << "" << int(QValidator::Intermediate) << "";
    QTest::newRow("point") << "C" << "12.5" << int(QValidator::Acceptable) << "12.5";
    QTest::newRow("integer") << "C" << "250" << int(QValidator::Acceptable) << "250";
    QTest::newRow("letters") << "C" << "12a" << int(QValidator::Invalid) << "12a";
    QTest::newRow("german comma") << "de_DE" << "12,5" << int(QValidator::Acceptable) << "12.5";
    QTest::newRow("german point") << "de_DE" << "12.5" << int(QValidator::Acceptable) << "12.5";
    QTest::newRow("two separators") << "de_DE" << "1,2,5" << int(QValidator::Invalid) << "1.2.5";
    // Texts the float conversion reads as no number at all must not reach a module.
    QTest::newRow("nan") << "C" << "nan" << int(QValidator::Invalid) << "nan";
    QTest::newRow("inf") << "C" << "inf" << int(QValidator::Invalid) << "inf";
    QTest::newRow("-inf") << "C" << "-inf" << int(QValidator::Invalid) << "-inf";
    QTest::newRow("too large") << "C" << "1e39" << int(QValidator::Invalid) << "1e39";
}

void TestStatusWidgets::rampValidator()
{
    QFETCH(QString, locale);
    QFETCH(QString, input);
    QFETCH(int, state);
    QFETCH(QString, result);
    RampInputValidator validator;
    validator.setLocale(QLocale(locale));
    int pos = input.size();
    QCOMPARE(int(validator.validate(input, pos)), state);
    QCOMPARE(input, result);
}

VEXA_TEST_MAIN(TestStatusWidgets)
#include "tst_statuswidgets.moc"
