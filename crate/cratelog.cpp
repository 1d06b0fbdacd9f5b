#include "cratelog.h"

Q_LOGGING_CATEGORY(lcCrate, "cratectl.crate")
