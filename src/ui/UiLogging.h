#pragma once

#include <QLoggingCategory>

// Quiet by default for debug prints; warnings (missing pictures, broken interface files) show.
Q_DECLARE_LOGGING_CATEGORY(lcUi)
