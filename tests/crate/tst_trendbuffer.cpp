// The trend ring and the recorder behind the trend plots: a bounded size
// whatever is fed, merging of close samples without losing their extremes,
// values routed only to the series picked, and the CSV export's content.

#include "logfilewriter.h"
#include "testenv.h"
#include "trendbuffer.h"
#include "trendrecorder.h"

#include <QBuffer>
#include <QtTest>

class TestTrendBuffer : public QObject
{
    Q_OBJECT

private slots:
    void staysBounded_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("stepMs");
        QTest::addColumn<int>("bucketMs");
        QTest::addColumn<int>("expectedSize");
        // The sample whose time the oldest point carries: the last one merged into it.
        QTest::addColumn<int>("expectedOldestSample");
        QTest::newRow("not yet full") << 16 << 10 << 200 << 0 << 10 << 0;
        QTest::newRow("a week of ticks") << 4096 << 7 * 24 * 3600 * 5 << 200 << 146 << 4096 << 7 * 24 * 3600 * 5 - 4096;
        QTest::newRow("buckets of five ticks") << 100 << 1000 << 200 << 1000 << 100 << 504;
        QTest::newRow("capacity one") << 1 << 50 << 200 << 0 << 1 << 49;
    }
    void staysBounded()
    {
        QFETCH(int, capacity);
        QFETCH(int, samples);
        QFETCH(int, stepMs);
        QFETCH(int, bucketMs);
        QFETCH(int, expectedSize);
        QFETCH(int, expectedOldestSample);
        TrendBuffer buffer(capacity);
        buffer.setBucketWidth(bucketMs);
        for (int i = 0; i < samples; ++i)
            buffer.add(qint64(i) * stepMs, float(i));
        QCOMPARE(buffer.size(), expectedSize);
        QCOMPARE(buffer.capacity(), capacity);
        QCOMPARE(buffer.at(0).msecs, qint64(expectedOldestSample) * stepMs);
        QCOMPARE(buffer.newest().value, float(samples - 1));
        for (int i = 1; i < buffer.size(); ++i)
            QVERIFY(buffer.at(i).msecs > buffer.at(i - 1).msecs);
    }

    void mergedSamplesKeepTheirExtremes()
    {
        TrendBuffer buffer(8);
        buffer.setBucketWidth(1000);
        const float values[] = {5, 9, -3, 4};
        for (int i = 0; i < 4; ++i)
            buffer.add(100 * i, values[i]);
        buffer.add(1000, 7); // the next bucket
        QCOMPARE(buffer.size(), 2);
        QCOMPARE(buffer.at(0).minimum, -3.0f);
        QCOMPARE(buffer.at(0).maximum, 9.0f);
        QCOMPARE(buffer.at(0).value, 4.0f);
        QCOMPARE(buffer.at(0).msecs, qint64(300));
        // A clock set back joins the newest point instead of breaking the order.
        buffer.add(500, 1);
        QCOMPARE(buffer.size(), 2);
        QCOMPARE(buffer.newest().msecs, qint64(1000));
        QCOMPARE(buffer.newest().minimum, 1.0f);
        QCOMPARE(buffer.firstAtOrAfter(301), 1);
        QCOMPARE(buffer.firstAtOrAfter(1001), 2);
    }

    void recorderTakesOnlyPickedChannels()
    {
        TrendRecorder recorder;
        qint64 clock = 1'700'000'000'000;
        recorder.setClock([&clock] { return clock; });
        QVERIFY(recorder.addChannel(7100123, 4));
        QVERIFY(!recorder.addChannel(7100123, 4));
        QCOMPARE(recorder.seriesCount(), 2);
        recorder.addVoltage(7100123, 4, 500.0f);
        recorder.addCurrent(7100123, 4, 5e-7f);
        recorder.addVoltage(7100123, 5, 99.0f); // not picked
        recorder.addVoltage(7100388, 4, 99.0f); // another module
        clock += 200;
        recorder.addVoltage(7100123, 4, 1000.0f);
        QCOMPARE(recorder.series(0).buffer.size(), 2);
        QCOMPARE(recorder.series(0).buffer.newest().value, 1000.0f);
        QCOMPARE(recorder.series(1).buffer.size(), 1);

        for (int channel = 0; channel < 40; ++channel)
            recorder.addChannel(7100507, channel);
        QCOMPARE(recorder.channelCount(), TrendRecorder::MaxChannels);
        QVERIFY(TrendRecorder::memoryBound() >= qint64(recorder.seriesCount()) * TrendBuffer::DefaultCapacity
                                                    * qint64(sizeof(TrendPoint)));
    }

    void exportCsvContent()
    {
        TrendRecorder recorder;
        const QDateTime start(QDate(2026, 3, 1), QTime(14, 5, 9, 250));
        qint64 clock = start.toMSecsSinceEpoch();
        recorder.setClock([&clock] { return clock; });
        recorder.addChannel(7100123, 4);
        recorder.addVoltage(7100123, 4, 1000.5f);
        recorder.addCurrent(7100123, 4, 1.25e-6f);
        clock += 200;
        recorder.addVoltage(7100123, 4, 999.123456f);

        QBuffer device;
        device.open(QIODevice::WriteOnly);
        QVERIFY(recorder.exportCsv(&device));
        const QStringList lines = QString::fromUtf8(device.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QLocale numbers = LogFileWriter::numberLocale();
        QCOMPARE(lines, (QStringList{
                            TrendRecorder::csvHeader(),
                            QStringLiteral("2026-03-01;14:05:09.250;7100123;4;Vmeasure;%1;%1;%1").arg(numbers.toString(1000.5, 'g', 6)),
                            QStringLiteral("2026-03-01;14:05:09.450;7100123;4;Vmeasure;%1;%1;%1").arg(numbers.toString(999.123, 'g', 6)),
                            QStringLiteral("2026-03-01;14:05:09.250;7100123;4;Imeasure;%1;%1;%1").arg(numbers.toString(1.25e-06, 'g', 6)),
                        }));
    }

    void channelsAndWindowPersist()
    {
        {
            TrendRecorder recorder;
            recorder.addChannel(7100123, 2);
            recorder.addChannel(7100507, 31);
            recorder.setWindowMinutes(60);
            recorder.saveSettings();
        }
        TrendRecorder again;
        again.loadSettings();
        QCOMPARE(again.windowMinutes(), 60);
        QCOMPARE(again.channelCount(), 2);
        QVERIFY(again.hasChannel(7100123, 2));
        QVERIFY(again.hasChannel(7100507, 31));
        // An hour in 4096 buckets: samples closer than ~0.9 s are merged.
        QCOMPARE(again.series(0).buffer.bucketWidth(), qint64(3600000 / TrendBuffer::DefaultCapacity));
    }
};

VEXA_TEST_GUILESS_MAIN(TestTrendBuffer)
#include "tst_trendbuffer.moc"
