#pragma once
#include <QLoggingCategory>

// Diagnostics of the views (channel table, module list, status widgets).
Q_DECLARE_LOGGING_CATEGORY(lcViews)
