#include "simlog.h"

Q_LOGGING_CATEGORY(lcSim, "cratesim.agent", QtWarningMsg)
