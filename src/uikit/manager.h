// Process-wide state of the UI library and the hand-off to the UI thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class QString;

class Manager {
 public:
  // Kept for the callers that hand over their module; nothing needs it here.
  static void SetInstance(void* instance);
  static void* GetInstance();

  // Default font of every control created afterwards ("Open Sans Semibold").
  static void SetFontName(std::u16string_view name);
  static std::u16string GetFontName();

  // Folder that image names are relative to, UTF-8 with a trailing "/".
  // Defaults to the executable's folder.
  static void SetResourceFolder(const std::string& folder);
  static std::string GetResourceFolder();
  // Full path of an image name as the callers write it ("icon\\tab_home.png").
  static QString ResolveResource(std::u16string_view name);

  // Runs `task` on the UI thread, asynchronously. Safe from any thread; tasks
  // posted from one thread run in the order they were posted, interleaved in
  // posting order with MWindow::PostMessage. Returns false (and drops the
  // task) when no application object exists.
  static bool PostToUiThread(std::function<void()> task);

  // True on the thread that owns the application object.
  static bool IsUiThread();
};

// The library's trace: one line to the diagnostic trace (TGM_TRACE).
void M_Trace(std::u16string_view text);

// Debug builds check that controls are touched on the UI thread only.
#ifdef NDEBUG
#define UIKIT_ASSERT_UI_THREAD() ((void)0)
#else
#include <cassert>
#define UIKIT_ASSERT_UI_THREAD() assert(Manager::IsUiThread())
#endif
