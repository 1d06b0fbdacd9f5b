#pragma once
// Common shape of the status, event and control words of modules and channels.
//
// Each word type is a plain copyable value made of named flags. The flags are
// kept by their declaration index (bit i of an internal mask = flag i), which
// is independent of the register layout; FlagInfo maps every flag to its bit
// in the 16-bit word form, the layout of the module's own register. The word
// form is the only numeric form that leaves the program (profile files, logs).

#include <QCoreApplication>
#include <QDebug>
#include <QString>
#include <QtGlobal>

struct FlagInfo {
    const char *name;     // register mnemonic, e.g. "isON"
    int wordBit;          // bit in the word form; -1: the flag has no place in the word
    const char *label;    // text the views show for the flag (set state)
    const char *altLabel; // module status: text for the clear state; module events: long text
};

template <typename T, int N> class FlagWord
{
    static_assert(N > 0 && N <= 32, "a flag word holds at most 32 flags");

public:
    static constexpr int FlagCount = N;

    static int flagCount() { return N; }
    static const FlagInfo &flagInfo(int index) { return T::flagTable()[index]; }
    static QString flagName(int index)
    {
        return validIndex(index) ? QString::fromLatin1(flagInfo(index).name) : QString();
    }
    static int wordBit(int index) { return validIndex(index) ? flagInfo(index).wordBit : -1; }
    // Index of a flag by its mnemonic, -1 when the type has no such flag.
    static int indexOf(const QString &name)
    {
        for (int i = 0; i < N; ++i)
            if (name == QLatin1String(flagInfo(i).name))
                return i;
        return -1;
    }
    static QString label(int index)
    {
        if (!validIndex(index) || !flagInfo(index).label)
            return QString();
        return QCoreApplication::translate(T::TypeName, flagInfo(index).label);
    }
    static QString altLabel(int index)
    {
        if (!validIndex(index) || !flagInfo(index).altLabel)
            return QString();
        return QCoreApplication::translate(T::TypeName, flagInfo(index).altLabel);
    }
    // Bits of the word form that carry a flag.
    static quint16 wordMask()
    {
        quint16 mask = 0;
        for (int i = 0; i < N; ++i)
            if (flagInfo(i).wordBit >= 0)
                mask |= quint16(1u << flagInfo(i).wordBit);
        return mask;
    }

    static T fromWord(quint32 word)
    {
        T value;
        value.setWord(word);
        return value;
    }
    // Every flag set (for event words: "clear every event").
    static T allSet()
    {
        T value;
        value.m_flags = N == 32 ? 0xFFFFFFFFu : ((1u << N) - 1u);
        return value;
    }

    bool flag(int index) const { return validIndex(index) && ((m_flags >> index) & 1u); }
    void setFlag(int index, bool on)
    {
        if (!validIndex(index))
            return;
        if (on)
            m_flags |= (1u << index);
        else
            m_flags &= ~(1u << index);
    }

    // Word form: only the listed bits can be 1.
    quint16 toWord() const
    {
        quint16 word = 0;
        for (int i = 0; i < N; ++i)
            if (flag(i) && flagInfo(i).wordBit >= 0)
                word |= quint16(1u << flagInfo(i).wordBit);
        return word;
    }
    // Reads the low 16 bits; bits that carry no flag are ignored. Flags that have
    // no place in the word form keep their value.
    void setWord(quint32 word)
    {
        for (int i = 0; i < N; ++i) {
            const int bit = flagInfo(i).wordBit;
            if (bit >= 0)
                setFlag(i, (word >> bit) & 1u);
        }
    }

    // Flags by declaration index (bit i = flag i); not the word form.
    quint32 flags() const { return m_flags; }
    bool isEmpty() const { return m_flags == 0; }

    // Equal when every flag is equal. For types whose flags all have a word bit
    // this is exactly "equal word forms".
    friend bool operator==(const T &a, const T &b) { return a.flags() == b.flags(); }
    friend bool operator!=(const T &a, const T &b) { return a.flags() != b.flags(); }

    friend QDebug operator<<(QDebug debug, const T &value)
    {
        QDebugStateSaver saver(debug);
        debug.nospace() << T::TypeName << "(0x" << Qt::hex << value.toWord() << Qt::dec;
        for (int i = 0; i < N; ++i)
            if (value.flag(i))
                debug << ' ' << flagInfo(i).name;
        debug << ')';
        return debug;
    }

protected:
    static bool validIndex(int index) { return index >= 0 && index < N; }

    quint32 m_flags = 0;
};
