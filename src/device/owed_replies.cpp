#include "device/owed_replies.h"

namespace device {

void OwedReplies::Wrote(Device device, uint8_t command, uint32_t tick) {
  owed_[KeyOf(device, command)].push_back(tick);
}

void OwedReplies::Replied(Device device, uint8_t command) {
  const auto it = owed_.find(KeyOf(device, command));
  if (it == owed_.end()) return;
  it->second.pop_front();
  if (it->second.empty()) owed_.erase(it);
}

void OwedReplies::Quiet(Device device, uint32_t tick) {
  const std::uintptr_t address = KeyOf(device, 0).first;
  for (auto it = owed_.lower_bound(KeyOf(device, 0)); it != owed_.end() && it->first.first == address;) {
    std::deque<uint32_t>& ticks = it->second;
    // Signed: a write ticked after `tick` is young, not four billion ms old.
    while (!ticks.empty() && static_cast<int32_t>(tick - ticks.front()) >= static_cast<int32_t>(kReplyBoundMs)) {
      ticks.pop_front();
    }
    it = ticks.empty() ? owed_.erase(it) : std::next(it);
  }
}

std::optional<uint32_t> OwedReplies::SettledAt(Device device, uint8_t command) const {
  const auto it = owed_.find(KeyOf(device, command));
  if (it == owed_.end()) return std::nullopt;
  return it->second.back() + kReplyBoundMs;
}

size_t OwedReplies::Owed(Device device, uint8_t command) const {
  const auto it = owed_.find(KeyOf(device, command));
  return it == owed_.end() ? 0 : it->second.size();
}

}  // namespace device
