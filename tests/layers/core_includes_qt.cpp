// Compiled with the core's include path, this must fail: the core never sees Qt.
#include <QObject>

int CoreLayerProbe() { return 0; }
