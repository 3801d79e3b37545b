#include "uikit/manager.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <QThread>
#include <mutex>

#include "platform/folders.h"
#include "platform/product.h"
#include "platform/text.h"

namespace {

std::mutex g_mutex;
void* g_instance = nullptr;
std::u16string g_fontName = u"Open Sans Semibold";
std::string g_resourceFolder;
bool g_resourceFolderSet = false;

}  // namespace

void Manager::SetInstance(void* instance) {
  std::lock_guard lock(g_mutex);
  g_instance = instance;
}

void* Manager::GetInstance() {
  std::lock_guard lock(g_mutex);
  return g_instance;
}

void Manager::SetFontName(std::u16string_view name) {
  std::lock_guard lock(g_mutex);
  g_fontName.assign(name);
}

std::u16string Manager::GetFontName() {
  std::lock_guard lock(g_mutex);
  return g_fontName;
}

void Manager::SetResourceFolder(const std::string& folder) {
  std::lock_guard lock(g_mutex);
  g_resourceFolder = folder;
  if (!g_resourceFolder.empty() && g_resourceFolder.back() != '/') g_resourceFolder += '/';
  g_resourceFolderSet = true;
}

std::string Manager::GetResourceFolder() {
  {
    std::lock_guard lock(g_mutex);
    if (g_resourceFolderSet) return g_resourceFolder;
  }
  return GetExeFolder();
}

QString Manager::ResolveResource(std::u16string_view name) {
  if (name.empty()) return {};
  QString rel = QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()));
  rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (rel.startsWith(QLatin1Char('/'))) return rel;
  return QString::fromStdString(GetResourceFolder()) + rel;
}

bool Manager::PostToUiThread(std::function<void()> task) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || !task) return false;
  // A queued call on the application object: one posted-event list per
  // thread keeps every post from one thread in order.
  return QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
}

bool Manager::IsUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

void M_Trace(std::u16string_view text) {
  DebugTrace(1, "%s", platform::Utf16ToUtf8(text).c_str());
}
