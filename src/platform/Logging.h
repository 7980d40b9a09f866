#pragma once

#include <QLoggingCategory>

// Quiet by default: enable with QT_LOGGING_RULES="flashwell.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcHid)
Q_DECLARE_LOGGING_CATEGORY(lcDevice)
Q_DECLARE_LOGGING_CATEGORY(lcNet)
