#include "ui/UiLogging.h"

Q_LOGGING_CATEGORY(lcUi, "flashwell.ui", QtInfoMsg)
