// Everything of the UI library in one include.
#pragma once

#include "uikit/control.h"
#include "uikit/controls.h"
#include "uikit/manager.h"
#include "uikit/menu.h"
#include "uikit/types.h"
#include "uikit/window.h"
