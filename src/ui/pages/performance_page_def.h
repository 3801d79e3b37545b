// The performance page's controls (DPI stages and slider, report rate, light mode, the sensor and scroll options).
// One pointer per control: ids repeat across the window, so layout and
// re-texting go through these members, never a lookup by id.
#pragma once

#include "uikit/uikit.h"

struct PerformancePageDef {
};
