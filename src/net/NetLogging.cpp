#include "net/NetLogging.h"

Q_LOGGING_CATEGORY(lcNet, "flashwell.net", QtInfoMsg)
