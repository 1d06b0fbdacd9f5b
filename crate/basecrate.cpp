#include "basecrate.h"

BaseCrate::BaseCrate() = default;

BaseCrate::~BaseCrate() = default;

float BaseCrate::supply(int index)
{
    Q_UNUSED(index)
    return 0.0f;
}

float BaseCrate::supplyNominal(int index)
{
    switch (index) {
    case 0:
        return 230.0f;
    case 1:
        return 24.0f;
    case 4:
    case 5:
        return 5.0f;
    case 6:
        return 3.3f;
    default:
        return 0.0f;
    }
}

float BaseCrate::temperature(int index)
{
    Q_UNUSED(index)
    return 0.0f;
}
