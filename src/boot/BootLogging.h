#pragma once

#include <QLoggingCategory>

// The bootloader sessions' own category: enable with QT_LOGGING_RULES="flashwell.boot.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcBoot)
