#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcHid, "flashwell.hid", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDevice, "flashwell.device", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNet, "flashwell.net", QtInfoMsg)
