// The emoji a button can type: one table serves the picker's names and the
// texts typed when the mouse reports an emoji button.
#pragma once

#include <string>

#include "assign/key_action.h"

namespace devsync {

inline constexpr int kEmojiCount = kEmojiIds;

// Name of emoji `id` (1..109); empty for any other id.
std::u16string GetEmojiName(int id);

// The code text typed for emoji `id`: its name in square brackets, which the
// messenger shows as the picture; empty for an id without a name.
std::u16string GetEmojiText(int id);

}  // namespace devsync
