// The mouse's macro memory: a 4224-byte image of 32 start offsets followed
// by 4-byte event records, built from the stored macros and sent in 56-byte
// chunks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "assign/macro_event_type.h"
#include "sync/protocol.h"

namespace devsync {

inline constexpr size_t kMacroImageSize = 4224;
inline constexpr size_t kMacroTableSize = 64;   // 32 start offsets of 16 bits
inline constexpr size_t kMacroRecordSize = 4;
inline constexpr size_t kMacroChunkSize = 56;
inline constexpr size_t kMacroMaxRecords = (kMacroImageSize - kMacroTableSize) / kMacroRecordSize;

// The members of a stored macro event the image uses.
struct MacroEventIn {
  int type = 0;
  int value = 0;
  std::u16string desc;
};

struct MacroImage {
  std::array<uint8_t, kMacroImageSize> bytes{};
  size_t length = kMacroTableSize;  // bytes in use: the table and the records written
  int macrosEncoded = 0;            // macros that got a start offset
  int macrosWhole = 0;              // of those, the first ones with every event
  bool truncated = false;           // macros or records were left out for want of room
};

// Encodes the macros in list order (their position is the number a button's
// macro code refers to). At most 32 macros and 1040 records are written;
// when the records run out the last one written ends its macro.
MacroImage EncodeMacroImage(std::span<const std::vector<MacroEventIn>> macros);

// Number of MacroData requests for an image of `length` bytes.
size_t MacroChunkCount(size_t length);
// Chunk `index` of the image: its offset and length in the request, and only
// bytes that lie inside the image, the rest of the payload zero.
CommandBuffer BuildMacroData(const MacroImage& image, size_t index);

}  // namespace devsync
