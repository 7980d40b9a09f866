#include "platform/HidBackend.h"

namespace flashwell {

HidBackend::~HidBackend() = default;

} // namespace flashwell
