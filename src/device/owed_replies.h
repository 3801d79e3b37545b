// Which command reports written to the mouse may still be answered.
//
// A reply carries the command byte of its request and nothing that tells one
// write of that command from another, so replies are matched by order within
// a bound. The mouse answers each write at most once, in the order of the
// writes, and a reply comes within kReplyBoundMs of its write or never. A
// write is settled once it is answered or that old.
//
// A request starts writing only when every earlier write of its command is
// settled; from then on any reply with its command answers one of its own
// writes, so the first that comes is its answer. Its other writes, and all
// the writes of a request never answered, stay owed with their times for the
// next request of that command to settle. As a reply does not say which write
// it answers, it settles the oldest owed write of its command: what is left
// owed is then never older than what is truly still coming, and waiting for
// it to settle never ends too soon. A prompt mouse leaves nothing owed, and
// nothing waits.
//
// What is owed belongs to the mouse, not to the handle it is talked to
// through: a rescan closes and reopens the handle while the mouse goes on
// answering the writes made before. So devices are told apart by their path.
//
// No clock is read here: ticks (milliseconds, wrapping) come from the caller.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace device {

class OwedReplies {
 public:
  // The device's path as enumerated.
  using Device = std::string_view;
  static constexpr uint32_t kReplyBoundMs = 3000;

  // A report with `command` reached the device at `tick`.
  void Wrote(Device device, uint8_t command, uint32_t tick);
  // A reply with `command` came: the oldest owed write of that command is
  // answered. A reply nothing is owed for (a stray) changes nothing.
  void Replied(Device device, uint8_t command);
  // Everything the device had sent by `tick` has been read: its writes as
  // old as the bound by then will never be answered.
  void Quiet(Device device, uint32_t tick);
  // When every owed write of `command` is settled by age at the latest;
  // nothing when none is owed.
  std::optional<uint32_t> SettledAt(Device device, uint8_t command) const;
  // Owed writes of `command`, for the tests.
  size_t Owed(Device device, uint8_t command) const;
  // A rescan found attached only the devices `attached` says yes to. The
  // others are gone, and one plugged back in answers nothing from before.
  void KeepOnly(const std::function<bool(Device)>& attached);

 private:
  // By device and command: the write ticks, oldest first. No empty lists.
  using ByCommand = std::map<uint8_t, std::deque<uint32_t>>;
  std::map<std::string, ByCommand, std::less<>> owed_;
  // The owed write ticks of `command`, or null when none is owed.
  const std::deque<uint32_t>* Ticks(Device device, uint8_t command) const;
};

}  // namespace device
