#pragma once
// The process-wide table of object identifiers the flash tool translates once
// at start-up. The whole table must translate (it proves the MIB is the crate's
// complete one), although only five entries are used afterwards.

#include <QStringList>
#include <cstddef>

namespace crateflash {

// One translated identifier: up to 128 sub-identifiers and the real length.
struct ObjectId
{
    static constexpr int MaxLength = 128;
    unsigned long ids[MaxLength] = {};
    size_t length = 0;
};

class ObjectTable
{
public:
    // Positions of the scalar objects at the start of the table.
    enum Scalar {
        SysMainSwitch = 0,
        IpStaticAddress = 5,
        CanBitRateHv = 16,
        CanReceiveHv = 17,
        CanTransmitHv = 18,
        ScalarCount = 19
    };
    static constexpr int Slots = 10;
    static constexpr int ChannelsPerSlot = 32;
    static constexpr int ChannelObjects = 24;
    static constexpr int Sensors = 12;
    static constexpr int Communities = 4;
    static constexpr int Fans = 6;
    static constexpr int Size = ScalarCount + Slots * ChannelsPerSlot * ChannelObjects + Sensors * 3
                                + Communities + Fans;

    static ObjectTable &instance();

    // All names in translation order ("sysMainSwitch.0", ..., "fanSpeed.6").
    static QStringList names();

    int size() const { return Size; }
    const ObjectId &at(int index) const { return m_ids[index]; }
    ObjectId &at(int index) { return m_ids[index]; }
    const ObjectId &scalar(Scalar which) const { return m_ids[which]; }

    bool isTranslated() const { return m_translated; }
    void setTranslated(bool translated) { m_translated = translated; }

private:
    ObjectTable() = default;
    ObjectId m_ids[Size];
    bool m_translated = false;
};

} // namespace crateflash
