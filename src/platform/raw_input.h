// Raw keyboard and mouse input from the whole desktop, in the form a Windows
// keyboard and mouse report it (virtual-key code, make code, E0/E1 prefix,
// button transition flags): macro recording and the key fields read it.
//
// A source delivers records to one sink while it is started. The real source
// reads XInput 2 raw key and button events on the X root window over a
// connection of its own, which exists only while started: nothing is selected
// and no keystroke is read while no capture runs. Tests install a fake.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// Record types.
inline constexpr uint32_t kRawTypeMouse = 0;
inline constexpr uint32_t kRawTypeKeyboard = 1;
inline constexpr uint32_t kRawTypeHid = 2;

// Keyboard record flags: the key went up, and the scan-code prefixes.
inline constexpr uint16_t kRawKeyBreak = 0x01;
inline constexpr uint16_t kRawKeyE0 = 0x02;
inline constexpr uint16_t kRawKeyE1 = 0x04;

// Keyboard record messages.
inline constexpr uint32_t kMsgKeyDown = 0x0100;
inline constexpr uint32_t kMsgKeyUp = 0x0101;
inline constexpr uint32_t kMsgSysKeyDown = 0x0104;
inline constexpr uint32_t kMsgSysKeyUp = 0x0105;

// Mouse button transitions of a mouse record (several may be set at once).
enum RawButtonFlags : uint16_t {
  kRawLeftDown = 0x0001,
  kRawLeftUp = 0x0002,
  kRawRightDown = 0x0004,
  kRawRightUp = 0x0008,
  kRawMiddleDown = 0x0010,
  kRawMiddleUp = 0x0020,
  kRawBackwardDown = 0x0040,
  kRawBackwardUp = 0x0080,
  kRawForwardDown = 0x0100,
  kRawForwardUp = 0x0200,
};

// One raw input. `size` is 0 for input that could not be read (a reader
// leaves its result alone); every delivered record has a size.
struct RawInputRecord {
  uint32_t size = sizeof(RawInputRecord);
  uint32_t type = kRawTypeMouse;
  // Keyboard: scan code (set 1, without prefix), kRawKey* flags, the
  // virtual-key code (generic 16/17/18 for either Shift/Ctrl/Alt, 13 for
  // either Enter, as the keyboard driver reports them), kMsg* message.
  uint16_t makeCode = 0;
  uint16_t flags = 0;
  uint16_t virtualKey = 0;
  uint32_t message = 0;
  // Mouse: RawButtonFlags; 0 for a wheel step or a move.
  uint16_t buttonFlags = 0;
};

// A key as a Windows keyboard reports it.
struct WindowsKey {
  uint16_t virtualKey = 0;
  uint16_t makeCode = 0;
  uint16_t prefix = 0;  // kRawKeyE0, kRawKeyE1 or 0
};

// The key of an X keysym (the level-0 symbol of a keycode): letters, digits,
// F1-F24, navigation, keypad (either numlock state gives the numeric key),
// punctuation, left/right Shift, Ctrl, Alt and Super, the menu key; the keypad
// Enter is the E0-prefixed Enter. Nothing for any other keysym.
std::optional<WindowsKey> KeysymToWindowsKey(unsigned long keysym);

// The key record of a press (down) or release.
RawInputRecord KeyRecord(const WindowsKey& key, bool down);
// The mouse record with `buttonFlags`.
RawInputRecord ButtonRecord(uint16_t buttonFlags);

// The transition flag of X pointer button 1 (left), 3 (right), 2 (middle),
// 8 (backward) or 9 (forward) going down or up; 0 for the wheel (4-7) and any
// other button.
uint16_t XButtonToRawFlags(int button, bool down);

// The name a US keyboard layout gives the key of a virtual-key code ("A",
// "F5", "Page Up", "Num 1", "Enter", ";"); empty when it has none. The
// generic and left/right modifier codes, the Windows keys, Pause, Print Screen
// and Num Lock have none here: their readers name them.
std::u16string VirtualKeyName(int virtualKey);

// Where raw input comes from. Used on the UI thread only.
class RawInputSource {
 public:
  using Sink = std::function<void(const RawInputRecord&)>;
  virtual ~RawInputSource() = default;
  // Starts delivering every raw key and button input of the desktop to
  // `sink`. False when the source cannot run (no X display, no XInput 2).
  virtual bool Start(Sink sink) = 0;
  // Stops delivering and selects nothing; no-op when stopped.
  virtual void Stop() = 0;
  // A descriptor the owner watches while started (-1: none); when it is
  // readable the owner calls Dispatch, which delivers what is pending.
  virtual int Fd() const { return -1; }
  virtual void Dispatch() {}
};

// XInput 2 raw key and button events on the root window of $DISPLAY.
class XRawInputSource : public RawInputSource {
 public:
  XRawInputSource() = default;
  ~XRawInputSource() override;
  XRawInputSource(const XRawInputSource&) = delete;
  XRawInputSource& operator=(const XRawInputSource&) = delete;

  bool Start(Sink sink) override;
  void Stop() override;
  int Fd() const override;
  void Dispatch() override;

 private:
  void* display_ = nullptr;  // Display*, open only while started
  int xi_opcode_ = 0;
  Sink sink_;
};

// Input for offscreen tests. Inject delivers to the sink at once while
// started; while stopped it delivers nothing (as the real source, which then
// selects nothing).
struct RawKey {
  int virtualKey = 0;  // as a reader reports it: 65 "A", 160/161 left/right Shift,
                       // 162/163 Ctrl, 164/165 Alt, 108 the keypad Enter, ...
  bool down = true;
};
struct RawButton {
  int button = 0;  // MouseButtonBits: 1 left, 2 right, 4 middle, 8 backward,
                   // 16 forward; 0 a wheel step (a record without transitions)
  bool down = true;
};

class FakeRawInputSource : public RawInputSource {
 public:
  ~FakeRawInputSource() override;  // uninstalls itself when installed

  bool Start(Sink sink) override;
  void Stop() override;

  // The key record a keyboard gives for the key (make code and prefix
  // included: 163 is Ctrl with E0, 108 is Enter with E0).
  void Inject(const RawKey& key);
  void Inject(const RawButton& button);
  void Inject(const RawInputRecord& record);

  bool IsStarted() const { return static_cast<bool>(sink_); }
  int StartCount() const { return starts_; }
  // The next `count` starts fail.
  void FailStarts(int count) { failStarts_ = count; }

 private:
  Sink sink_;
  int starts_ = 0;
  int failStarts_ = 0;
};

// The key record the fake injects for a reader's virtual-key code.
RawInputRecord KeyRecordForVirtualKey(int virtualKey, bool down);

// The source in force: the one a test installed, else the process-wide X source.
RawInputSource& CurrentRawInputSource();
// Installs a source (nullptr restores the X source). Install before a capture
// starts; the source must outlive every capture that started it.
void SetRawInputSourceForTests(RawInputSource* source);

}  // namespace platform
