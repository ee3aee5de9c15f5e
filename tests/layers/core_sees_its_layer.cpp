// Compiled with the core's include path: the core's own folders must be visible.
#include "base/local_time.h"
#include "logging/sync_log.h"
#include "ports/clock.h"
#include "sntp/sntp_packet.h"

int CoreLayerProbe() { return 0; }
