// A channel table destroyed while one of its cells is being edited must not
// call back into itself from the base class's destructor (the sanitizer build
// reports such a call as member access on an object of the wrong type).

#include "channeltable.h"
#include "testenv.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

class TestChannelTableTeardown : public QObject
{
    Q_OBJECT

private slots:
    void destroyedWithAnOpenEditor()
    {
        auto *table = new ChannelTable;
        table->setChannelCount(4);
        table->show();
        QVERIFY(QTest::qWaitForWindowExposed(table));
        table->setCurrentCell(1, 2);
        table->editItem(table->item(1, 2) ? table->item(1, 2) : (table->setItem(1, 2, new QTableWidgetItem), table->item(1, 2)));
        QTRY_VERIFY(table->findChild<QLineEdit *>());
        QSignalSpy changed(table, &ChannelTable::cellDataChanged);
        delete table;
        // Nothing was entered, so nothing may have been reported as entered.
        QCOMPARE(changed.count(), 0);
    }
};

VEXA_TEST_MAIN(TestChannelTableTeardown)
#include "tst_channeltableteardown.moc"
