#pragma once
#include <QLoggingCategory>

// Diagnostics of the app/ folder (settings, address lock, dialogs of the shared library).
Q_DECLARE_LOGGING_CATEGORY(lcApp)
