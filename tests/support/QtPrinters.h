#pragma once

#include <QString>

#include <ostream>

// Readable QStrings in test failure messages. (In the global namespace, where argument-dependent
// lookup finds it for QString.)
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
