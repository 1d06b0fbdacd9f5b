#pragma once
#include <QLoggingCategory>

// Diagnostics of the device model (library binding, controller, modules, crate).
Q_DECLARE_LOGGING_CATEGORY(lcCrate)
