// Everything of the UI library in one include.
//
// A dialog derives from MDialog, builds its controls in InitUI (CreateControl /
// CreateArea by class name, or a page's MTabLayout::CreateControl), places
// them in UISize, and handles user events in OnMessage(id, event, param, 0).
// MWindow::Create calls InitUI, UISize and OnInitDialog; ShowModal runs the
// dialog until DoOK (1) or DoCancel / close (2).
//
// Threads: every control and window call belongs on the UI thread. Other
// threads hand work over with MWindow::PostMessage (to OnWindowMessage),
// MWindow::PostTask (a closure that runs only while the window lives) or
// Manager::PostToUiThread; all three are asynchronous and keep posting order.
#pragma once

#include "uikit/control.h"
#include "uikit/controls.h"
#include "uikit/manager.h"
#include "uikit/menu.h"
#include "uikit/types.h"
#include "uikit/window.h"
