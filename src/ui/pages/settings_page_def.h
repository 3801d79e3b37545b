// The settings page's controls (versions, autostart, language, the desktop's mouse settings, the factory reset).
// One pointer per control: ids repeat across the window, so layout and
// re-texting go through these members, never a lookup by id.
#pragma once

#include "uikit/uikit.h"

struct SettingsPageDef {
};
