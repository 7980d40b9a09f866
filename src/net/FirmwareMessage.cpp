#include "net/FirmwareMessage.h"
