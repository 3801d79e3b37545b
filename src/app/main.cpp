// The program: one instance per user, the UI language, the pointer-edge
// watch, the data folder, then the main window's run.
#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/autostart.h"
#include "platform/folders.h"
#include "platform/pointer_edge.h"
#include "platform/product.h"
#include "platform/single_instance.h"
#include "platform/user_store.h"
#include "ui/device_main_dlg.h"
#include "ui/instance_channel.h"
#include "ui/startup.h"
#include "uikit/manager.h"

namespace {
DeviceMainDlg* mainWindow = nullptr;
}

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);

  // The store, the settings and the instance lock all belong in the user's
  // home folder; without one nothing is written anywhere.
  if (platform::HomeFolder().empty()) {
    std::fprintf(stderr,
                 "%s: no home folder: HOME is not set to an absolute path and the password database gives "
                 "none for this user. Set HOME and start the program again.\n",
                 GetProductNameUtf8().c_str());
    return 2;
  }

  platform::InstanceLock instance(GetProductNameUtf8());
  if (!instance.Acquire()) {
    if (instance.HeldElsewhere()) {
      // Another instance runs: it shows its window normally and comes forward.
      if (!SendInstanceRequest(instance.SocketPath(), "show")) DebugTrace(2, "SetForegroundWindow: no answer");
      return 0;
    }
    std::fprintf(stderr,
                 "%s: no instance lock could be taken in the runtime or the configuration folder; "
                 "running without one, so another start would not be noticed\n",
                 GetProductNameUtf8().c_str());
  }

  // A kill between writing a temporary file and renaming it leaves the file;
  // the next start clears those of our fixed files (exports to folders the
  // user chose are not known here).
  platform::RemoveLeftoverTemporaryFiles(platform::UserStore::DefaultPath());
  platform::RemoveLeftoverTemporaryFiles(platform::AutostartEntry::ForThisProgram().Path());

  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  InitLanguage(platform::CurrentUserStore());
  Manager::SetFontName(u"Open Sans Semibold");
  Manager::SetInstance(nullptr);

  platform::PointerEdgeWatch edgeWatch;
  std::unique_ptr<QSocketNotifier> edgeNotifier;
  if (edgeWatch.Start([](int edge) {
        if (mainWindow) mainWindow->SendMessage(UM_MOUSE_AT_EDGE, static_cast<WPARAM>(edge), 0);
      })) {
    edgeNotifier = std::make_unique<QSocketNotifier>(edgeWatch.Fd(), QSocketNotifier::Read);
    QObject::connect(edgeNotifier.get(), &QSocketNotifier::activated, [&edgeWatch] { edgeWatch.Dispatch(); });
  } else {
    DebugTrace(2, "无法安装全局鼠标钩子");
  }

  CreateDirectoryTree(GetDataFolder() + "db");

  const int showFlag = HasHideSwitch(args) ? 0 : 1;

  DeviceMainDlg window;
  mainWindow = &window;
  InstanceServer server;
  if (instance.Held()) {
    server.Listen(instance.SocketPath(), [&window](const InstanceRequest& request) {
      if (request.kind == InstanceRequest::Kind::kShow) {
        window.BringForward();
      } else {
        window.PostMessage(request.message, request.wParam, request.lParam);
      }
    });
  }

  window.ShowMainWindow(showFlag);
  mainWindow = nullptr;
  return 1;
}
