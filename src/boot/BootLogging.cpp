#include "boot/BootLogging.h"

Q_LOGGING_CATEGORY(lcBoot, "flashwell.boot", QtInfoMsg)
