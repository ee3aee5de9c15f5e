#include "ui/time_display.h"
