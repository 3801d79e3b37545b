#include "device/owed_replies.h"

namespace device {

void OwedReplies::Wrote(Device device, uint8_t command, uint32_t tick) {
  auto it = owed_.find(device);
  if (it == owed_.end()) it = owed_.emplace(std::string(device), ByCommand{}).first;
  it->second[command].push_back(tick);
}

void OwedReplies::Replied(Device device, uint8_t command) {
  const auto it = owed_.find(device);
  if (it == owed_.end()) return;
  const auto ticks = it->second.find(command);
  if (ticks == it->second.end()) return;
  ticks->second.pop_front();
  if (ticks->second.empty()) it->second.erase(ticks);
  if (it->second.empty()) owed_.erase(it);
}

void OwedReplies::Quiet(Device device, uint32_t tick) {
  const auto it = owed_.find(device);
  if (it == owed_.end()) return;
  for (auto c = it->second.begin(); c != it->second.end();) {
    std::deque<uint32_t>& ticks = c->second;
    // Signed: a write ticked after `tick` is young, not four billion ms old.
    while (!ticks.empty() && static_cast<int32_t>(tick - ticks.front()) >= static_cast<int32_t>(kReplyBoundMs)) {
      ticks.pop_front();
    }
    c = ticks.empty() ? it->second.erase(c) : std::next(c);
  }
  if (it->second.empty()) owed_.erase(it);
}

const std::deque<uint32_t>* OwedReplies::Ticks(Device device, uint8_t command) const {
  const auto it = owed_.find(device);
  if (it == owed_.end()) return nullptr;
  const auto ticks = it->second.find(command);
  return ticks == it->second.end() ? nullptr : &ticks->second;
}

std::optional<uint32_t> OwedReplies::SettledAt(Device device, uint8_t command) const {
  const std::deque<uint32_t>* ticks = Ticks(device, command);
  if (ticks == nullptr) return std::nullopt;
  return ticks->back() + kReplyBoundMs;
}

size_t OwedReplies::Owed(Device device, uint8_t command) const {
  const std::deque<uint32_t>* ticks = Ticks(device, command);
  return ticks == nullptr ? 0 : ticks->size();
}

void OwedReplies::KeepOnly(const std::function<bool(Device)>& attached) {
  std::erase_if(owed_, [&](const auto& device) { return !attached(device.first); });
}

}  // namespace device
