#pragma once
#include <QString>

// Fills the channel and module status / control dialogs with a mix of set and
// clear bits (a tripped channel, a module with a supply fault) and saves each
// as a PNG. Returns false when a file could not be written.
bool saveDialogShots(const QString &channelFile, const QString &moduleFile);
