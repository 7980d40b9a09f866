#pragma once

#include <QString>

namespace flashwell {

// A failed request: a domain ("Download Error", "Network"), a code and a sentence for the user.
struct HttpError
{
    QString domain;
    int code = 0;
    QString description;
};

} // namespace flashwell
