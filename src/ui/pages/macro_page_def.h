// The macro page's controls (the macro list, its options, the event editor and the recorder's button).
// One pointer per control: ids repeat across the window, so layout and
// re-texting go through these members, never a lookup by id.
#pragma once

#include "uikit/uikit.h"

struct MacroPageDef {
};
