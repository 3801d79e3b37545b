#include "ui/raw_input_recorder.h"

#include <QSocketNotifier>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/raw_input.h"
#include "uikit/manager.h"
#include "uikit/window.h"

namespace {

// The one source shared by every recorder: started with the first
// registration, stopped when the last registered recorder goes. Input goes to
// the window of the most recent registration still alive.
class RawInputHub {
 public:
  static RawInputHub& Get() {
    static RawInputHub* hub = new RawInputHub;  // never destroyed: may outlive the application object
    return *hub;
  }

  bool Register(const RawInputRecorder* recorder, MWindow* window) {
    if (source_ == nullptr && !StartSource()) return false;
    std::erase_if(targets_, [recorder](const Target& t) { return t.recorder == recorder; });
    targets_.push_back({recorder, window->GetLifeToken()});
    return true;
  }

  void Unregister(const RawInputRecorder* recorder) {
    const auto removed =
        std::erase_if(targets_, [recorder](const Target& t) { return t.recorder == recorder; });
    if (removed == 0 || !targets_.empty()) return;
    notifier_.reset();  // before the descriptor closes
    source_->Stop();
    source_ = nullptr;
  }

 private:
  struct Target {
    const RawInputRecorder* recorder;
    std::shared_ptr<MWindow* const> window;
  };

  bool StartSource() {
    platform::RawInputSource& source = platform::CurrentRawInputSource();
    auto sink = [this](const platform::RawInputRecord& record) { Deliver(record); };
    if (!source.Start(sink) && !source.Start(sink)) return false;
    source_ = &source;
    if (source.Fd() >= 0) {
      notifier_ = std::make_unique<QSocketNotifier>(source.Fd(), QSocketNotifier::Read);
      QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        if (source_) source_->Dispatch();
      });
    }
    return true;
  }

  // Posted, not sent: a handler may end the capture, which must not close
  // the source while it is dispatching.
  void Deliver(const platform::RawInputRecord& record) {
    const auto live = std::find_if(targets_.rbegin(), targets_.rend(), [](const Target& t) { return *t.window; });
    if (live == targets_.rend()) return;
    MWindow* window = *live->window;
    window->PostTask([window, record] { window->SendMessage(WM_INPUT, 0, reinterpret_cast<LPARAM>(&record)); });
  }

  std::vector<Target> targets_;
  platform::RawInputSource* source_ = nullptr;
  std::unique_ptr<QSocketNotifier> notifier_;
};

struct ButtonTransition {
  uint16_t flag;
  const char16_t* name;
  int code;
  int released;
};

// Tested in this order; the first flag set wins.
constexpr ButtonTransition kButtonOrder[] = {
    {platform::kRawLeftDown, u"LB", kMouseLeft, 0},
    {platform::kRawMiddleDown, u"MB", kMouseMiddle, 0},
    {platform::kRawRightDown, u"RB", kMouseRight, 0},
    {platform::kRawLeftUp, u"LB", kMouseLeft, 1},
    {platform::kRawMiddleUp, u"MB", kMouseMiddle, 1},
    {platform::kRawRightUp, u"RB", kMouseRight, 1},
    {platform::kRawBackwardDown, u"Backward", kMouseBackward, 0},
    {platform::kRawBackwardUp, u"Backward", kMouseBackward, 1},
    {platform::kRawForwardDown, u"Forward", kMouseForward, 0},
    {platform::kRawForwardUp, u"Forward", kMouseForward, 1},
};

constexpr struct {
  int code;
  const char16_t* name;
} kFixedKeyNames[] = {
    {19, u"Pause"},  {44, u"Print Screen"}, {91, u"LWin"},   {92, u"RWin"},   {93, u"Application"},
    {108, u"REnter"}, {144, u"Num Lock"},   {160, u"LShift"}, {161, u"RShift"}, {162, u"LCtrl"},
    {163, u"RCtrl"},  {164, u"LAlt"},       {165, u"RAlt"},
};

void DecodeButtons(uint16_t flags, RawInputEvent& event) {
  event.kind = 1;
  for (const auto& t : kButtonOrder) {
    if (flags & t.flag) {
      event.name = t.name;
      event.code = t.code;
      event.released = t.released;
      return;
    }
  }
}

void DecodeKey(const platform::RawInputRecord& r, RawInputEvent& event) {
  event.released = r.message == platform::kMsgKeyUp || r.message == platform::kMsgSysKeyUp ? 1 : 0;
  int code = r.virtualKey;
  std::u16string name = platform::VirtualKeyName(code);
  if (code == 16) code = r.makeCode == 42 ? 160 : 161;
  const bool prefixed = r.flags > 1;
  if (prefixed && (code == 17 || code == 18 || code == 13)) {
    code = code == 17 ? 163 : code == 18 ? 165 : 108;
  } else if (!prefixed && (code == 17 || code == 18)) {
    code = code == 17 ? 162 : 164;
  }
  for (const auto& fixed : kFixedKeyNames) {
    if (fixed.code == code) name = fixed.name;
  }
  event.kind = 2;
  event.code = code;
  event.name = std::move(name);
  M_Trace(u"input_text: " + event.name + u" \n");
}

}  // namespace

RawInputRecorder::RawInputRecorder() = default;

RawInputRecorder::~RawInputRecorder() {
  held_.clear();
  if (registered_) RawInputHub::Get().Unregister(this);
}

bool RawInputRecorder::RegisterRawInput(MWindow* window) {
  held_.clear();
  if (window == nullptr) return false;
  registered_ = RawInputHub::Get().Register(this, window);
  return registered_;
}

void RawInputRecorder::DecodeRawInput(LPARAM handle, RawInputEvent& event) {
  const auto* record = reinterpret_cast<const platform::RawInputRecord*>(handle);
  if (record == nullptr || record->size == 0) return;
  switch (record->type) {
    case platform::kRawTypeMouse:
      DecodeButtons(record->buttonFlags, event);
      return;
    case platform::kRawTypeKeyboard:
      DecodeKey(*record, event);
      if (event.released == 0) {
        if (!held_.insert(event.code).second) event.kind = 0;  // auto-repeat
      } else {
        held_.erase(event.code);
      }
      return;
    default:
      event.kind = 3;
      return;
  }
}
