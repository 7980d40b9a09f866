#pragma once

#include <QLoggingCategory>

// The server client's own category: enable with QT_LOGGING_RULES="flashwell.net.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcNet)
