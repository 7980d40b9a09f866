#pragma once

#include "net/SHttp.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>

namespace flashwell::test {

// True once every request the client started has ended (its reply finished, its blocks run, or
// aborted): "nothing more happens" is checked by waiting on this, not on a fixed time.
inline bool networkIdle()
{
    const auto replies = SHttp::network().findChildren<QNetworkReply *>();
    return std::all_of(replies.begin(), replies.end(), [](const QNetworkReply *r) { return r->isFinished(); });
}

} // namespace flashwell::test
