#include "viewslog.h"

Q_LOGGING_CATEGORY(lcViews, "cratectl.views")
