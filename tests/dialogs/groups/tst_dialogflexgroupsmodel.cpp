// The variable groups dialog against the module model over the in-process
// fake of the access library: an edit reaches the module's setFlexGroup with
// the words the dialog built, the SNMP module makes no library call for it
// (groups are not reachable over SNMP), and the dialog, shown anew, shows what
// the module reports, an erased group, instead of the edit.

#include "dialogflexgroups.h"
#include "fakewienerlibrary.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

namespace {
// The SNMP module with a record of the group writes it was asked for.
class RecordingModule : public SnmpModule
{
public:
    using SnmpModule::SnmpModule;
    struct Write {
        int group;
        quint32 member;
        quint32 type;
    };
    QList<Write> writes;
    void setFlexGroup(int group, quint32 member, quint32 type) override
    {
        writes.append({group, member, type});
        SnmpModule::setFlexGroup(group, member, type);
    }
};
} // namespace

class TestDialogFlexGroupsModel : public QObject
{
    Q_OBJECT

private slots:
    void editsReachTheModel()
    {
        FakeWiener::reset();
        SnmpController controller(FakeWiener::functions());
        QVERIFY(controller.connectTo(QStringLiteral("127.0.0.2")));
        FakeWiener::state().moduleDescriptions[1] = "vexa, T03X0, 8, 6001, 2.07";
        RecordingModule module(&controller, 1);
        FakeWiener::clearCalls();

        DialogFlexGroups dialog;
        dialog.setDeviceClass(module.deviceClass());
        dialog.setChannelCount(module.channelNumber());
        // The two requests as the main window serves them for the current module.
        QObject::connect(&dialog, &DialogFlexGroups::setFlexGroup, &module,
                         [&module](int, int group, quint32 member, quint32 type) {
                             module.setFlexGroup(group, member, type);
                         });
        QObject::connect(&dialog, &DialogFlexGroups::getFlexGroupData, &module, [&](int, int group) {
            dialog.updateModuleFlexGroups(module.serialNumber(), group, module.flexGroupMemberList(group),
                                          module.flexGroupType(group));
        });

        dialog.findChild<QSpinBox *>(QStringLiteral("spbGroupNumber"))->setValue(3);
        QCOMPARE(dialog.serialNumber(), 6001);
        for (int n : {0, 1, 2, 3})
            dialog.findChild<QCheckBox *>(QStringLiteral("chkChannel%1").arg(n, 2, 10, QLatin1Char('0')))->setChecked(true);
        dialog.findChild<QSpinBox *>(QStringLiteral("spbMasterChannel"))->setValue(3);
        dialog.findChild<QRadioButton *>(QStringLiteral("chkCopyIset"))->setChecked(true);
        dialog.findChild<QCheckBox *>(QStringLiteral("chkSetPermanent"))->setChecked(true);
        dialog.findChild<QPushButton *>(QStringLiteral("btnSet"))->click();

        QCOMPARE(module.writes.size(), 1);
        QCOMPARE(module.writes.at(0).group, 3);
        QCOMPARE(module.writes.at(0).member, 0xFu);
        QCOMPARE(module.writes.at(0).type, 0x0123u);
        QCOMPARE(FakeWiener::calls(), QStringList()); // nothing goes over SNMP

        // Polls leave the operator's unchanged edit alone; shown anew, the
        // dialog shows the module's answer: no such group.
        dialog.timeout();
        QVERIFY(dialog.findChild<QCheckBox *>(QStringLiteral("chkChannel00"))->isChecked());
        dialog.show();
        QVERIFY(!dialog.findChild<QCheckBox *>(QStringLiteral("chkChannel00"))->isChecked());
        QCOMPARE(dialog.findChild<QTabWidget *>(QStringLiteral("tabGroupKind"))->currentWidget()->objectName(),
                 QStringLiteral("tabSet"));
        QCOMPARE(dialog.findChild<QSpinBox *>(QStringLiteral("spbMasterChannel"))->value(), 0);

        dialog.findChild<QPushButton *>(QStringLiteral("btnErase"))->click();
        QCOMPARE(module.writes.size(), 2);
        QCOMPARE(module.writes.at(1).member, 0u);
        QCOMPARE(module.writes.at(1).type, 0u);
    }
};

VEXA_TEST_MAIN(TestDialogFlexGroupsModel)
#include "tst_dialogflexgroupsmodel.moc"
