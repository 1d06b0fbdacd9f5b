#pragma once
// A small deterministic mutator for the fuzz tests: bit flips, random and
// boundary bytes, insertions, deletions, repeated and cut chunks. Seeded, so
// a failing case can be reproduced from the seed the test prints.

#include <QByteArray>
#include <QtGlobal>
#include <random>

class Mutator
{
public:
    explicit Mutator(quint32 seed) : m_random(seed) {}

    QByteArray mutate(QByteArray data, int rounds = 0)
    {
        if (rounds <= 0)
            rounds = 1 + int(below(4));
        for (int i = 0; i < rounds; ++i)
            data = once(data);
        return data;
    }

    quint32 below(quint32 n) { return n ? quint32(m_random() % n) : 0; }

    // How long a fuzz test runs: VEXA_FUZZ_SECONDS, or `fallback` seconds.
    static int seconds(int fallback)
    {
        bool ok = false;
        (void)longRunsAllowed; // makes sure it is there
        const int s = qEnvironmentVariableIntValue("VEXA_FUZZ_SECONDS", &ok);
        return ok && s > 0 ? s : fallback;
    }

    // A long run outlasts QtTest's limit of five minutes per test function;
    // the limit is read when the test starts, so it is raised before main.
    static inline const bool longRunsAllowed = [] {
        bool ok = false;
        const int s = qEnvironmentVariableIntValue("VEXA_FUZZ_SECONDS", &ok);
        if (ok && s > 0 && !qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
            qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((qint64(s) * 2 + 300) * 1000));
        return true;
    }();

private:
    QByteArray once(QByteArray d)
    {
        static const char boundary[] = {'\0', '\x7f', '\x80', '\x81', '\x82', '\xff', '\x30', '\x04', '\x06'};
        const int n = int(d.size());
        switch (below(8)) {
        case 0: // flip a bit
            if (n)
                d[int(below(quint32(n)))] = char(d[int(below(quint32(n)))] ^ char(1 << below(8)));
            break;
        case 1: // a random byte
            if (n)
                d[int(below(quint32(n)))] = char(below(256));
            break;
        case 2: // a boundary byte (lengths, tags)
            if (n)
                d[int(below(quint32(n)))] = boundary[below(sizeof boundary)];
            break;
        case 3: // insert bytes
            d.insert(int(below(quint32(n + 1))), QByteArray(int(1 + below(4)), char(below(256))));
            break;
        case 4: // delete a run
            if (n)
                d.remove(int(below(quint32(n))), int(1 + below(8)));
            break;
        case 5: // repeat a chunk
            if (n) {
                const int from = int(below(quint32(n)));
                const QByteArray chunk = d.mid(from, int(1 + below(32)));
                d.insert(int(below(quint32(n + 1))), chunk.repeated(int(1 + below(4))));
            }
            break;
        case 6: // cut
            d.truncate(int(below(quint32(n + 1))));
            break;
        default: // swap two bytes
            if (n > 1)
                std::swap(d[int(below(quint32(n)))], d[int(below(quint32(n)))]);
            break;
        }
        return d;
    }

    std::mt19937 m_random;
};
