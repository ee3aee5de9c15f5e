// Compiled with the core's include path, this must fail: the core never reaches the network,
// processes or privileges itself, only through its ports.
#include <sys/socket.h>

int CoreLayerProbe() { return 0; }
