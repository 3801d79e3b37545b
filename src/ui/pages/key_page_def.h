// The button page's controls (the profile combo, the button combos and labels, the mouse picture and its labels, the response-time edit).
// One pointer per control: ids repeat across the window, so layout and
// re-texting go through these members, never a lookup by id.
#pragma once

#include "uikit/uikit.h"

struct KeyPageDef {
};
