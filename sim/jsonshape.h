#pragma once
// Checks the shape of the simulator's JSON files (crate file, state file)
// before anything is taken from them: a value of the wrong type or out of
// range is refused with its path ("modules[2].can.bitRate: ...") instead of
// silently becoming a default.

#include <QJsonObject>
#include <QString>

namespace JsonShape {
// Empty when the crate file's document is usable, else "path: what is wrong".
QString checkCrate(const QJsonObject &root);
// The same for a state file.
QString checkState(const QJsonObject &root);
}
