// Compiled with the core's include path, this must fail: the core never sees the platform.
#include "platform/linux/linux_clock.h"

int CoreLayerProbe() { return 0; }
