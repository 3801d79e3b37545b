// Contents of the Nordic family's exchanges (device types above 200): every
// request is a 64-byte payload whose byte 0 carries the channel in its top
// two bits (0 the device itself, 1 the mouse behind a receiver) and the
// command in the rest; every reply is 64 bytes whose byte 2 is a status code.
// Requests are built and replies decoded by pure functions; the exchange
// itself (checksum, write, read) belongs to the device manager.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "assign/key_action.h"
#include "sync/macro_image.h"
#include "sync/protocol.h"

namespace devsync::nordic {

inline constexpr size_t kPayloadSize = 64;
using Payload = std::array<uint8_t, kPayloadSize>;

enum Command : uint8_t {
  kCommandStatus = 1,
  kCommandSelectProfile = 2,
  kCommandButtonCodes = 3,
  kCommandSettings = 4,
  kCommandMacro = 7,
  kCommandRestore = 9,
  kCommandStatusAfterWrite = 10,
};

// Request byte 2: what the request does.
inline constexpr uint8_t kOpRead = 0x81;
inline constexpr uint8_t kOpSet = 0x82;
inline constexpr uint8_t kOpWriteCodes = 0xA5;
inline constexpr uint8_t kOpWriteSettings = 0xBB;
inline constexpr uint8_t kOpMacroChunk = 0xBC;
inline constexpr uint8_t kLastChunkFlag = 0x80;

// Reply byte 2 that accepts a request.
inline constexpr uint8_t kReplyDone = 0x81;      // report rate, factory reset, status after write
inline constexpr uint8_t kReplyRestored = 0x82;  // restore, reset of one button
inline constexpr uint8_t kReplyStatus = 0x8C;    // status and connection reports
inline constexpr uint8_t kReplyCodes = 0xA5;
inline constexpr uint8_t kReplySettings = 0xBB;

// Byte 4 of a restore request.
inline constexpr uint8_t kRestoreAll = 0xFF;

// ---- request and reply header
inline constexpr size_t kByteCommand = 0;  // channel x 64 + command
inline constexpr size_t kByteIndex = 1;    // 0, or the macro chunk's index
inline constexpr size_t kByteOp = 2;       // request: Op; reply: status code
inline constexpr size_t kByteSub = 3;      // 1 read, 2 block write, or a set's sub-code
inline constexpr size_t kByteData = 4;     // first data byte

// ---- status reply (command 1, and the reports the mouse sends on its own)
inline constexpr size_t kStatusConnection = 4;  // bit 3: the mouse is connected to the receiver
inline constexpr uint8_t kConnectedBit = 0x08;
inline constexpr size_t kStatusBatteryState = 5;
inline constexpr size_t kStatusBatteryLevel = 6;
inline constexpr size_t kStatusProfile = 7;     // current profile - 1
inline constexpr size_t kStatusDpiStage = 8;
inline constexpr size_t kStatusReportRate = 9;  // report-rate index
inline constexpr size_t kStatusMaxRate = 10;    // the highest report-rate level

// ---- settings block (command 4): reply and write payload at the same positions
inline constexpr size_t kSetFlags = 4;        // sensor options, scroll, e-sports
inline constexpr size_t kSetReportRate = 5;   // report-rate index
inline constexpr size_t kSetDpiCount = 6;     // stages in use (read); always 0x1F written
inline constexpr size_t kSetDpiStage = 7;     // current stage, 0-based
inline constexpr size_t kSetDpiValues = 8;    // stage i: 16 bits LE at 8 + 4i, again at 10 + 4i
inline constexpr size_t kSetDpiStride = 4;
inline constexpr size_t kSetDpiCopy = 2;      // offset of the second copy within a stage
inline constexpr size_t kSetLiftoff = 50;     // lift-off distance
inline constexpr size_t kSetResponseTime = 61;  // button response time
inline constexpr uint8_t kDpiCountWritten = 0x1F;
// Flag bits of byte 4; the block owns these five, the others stay as the mouse sent them.
inline constexpr uint8_t kFlagScroll = 0x80;
inline constexpr uint8_t kFlagEsports = 0x40;
inline constexpr uint8_t kSensorBits = 0x10 | 0x01 | 0x20;
inline constexpr uint8_t kOwnedFlags = kSensorBits | kFlagScroll | kFlagEsports;
static_assert(kSetDpiValues + kSetDpiStride * kDpiStages <= kSetLiftoff);
static_assert(kSetResponseTime < kPayloadSize - 1, "payload byte 63 never reaches the mouse");

// One-byte settings are kept within what the mouse documents.
inline constexpr int kMaxReportRateIndex = 6;
inline constexpr int kMinLiftoff = 1;
inline constexpr int kMaxLiftoff = 2;

// ---- button codes (command 3): four bytes per slot from byte 4
inline constexpr size_t kCodeSlots = 15;
inline constexpr size_t kCodeBytes = 4 * kCodeSlots;
using ButtonCodes = std::array<uint8_t, kCodeBytes>;  // payload bytes 4..63
static_assert(kByteData + kCodeBytes == kPayloadSize);
// The read-back decodes slots 0..8 but 5 and 6, each as button slot + 1.
inline constexpr int kReadSlots = 9;
bool IsDecodedSlot(int slot);
// The slot a button (key_code 1..8) is written to; -1 for any other number.
int SlotOfButton(int keyCode);

// ---- macro image: one per macro sent
inline constexpr size_t kMacroImageSize = 1024;
inline constexpr size_t kMacroPlay = 0;         // play byte (as in the button code)
inline constexpr size_t kMacroPlayCount = 1;
inline constexpr size_t kMacroDelayTime = 36;   // 16 bits LE
inline constexpr size_t kMacroEventCount = 38;  // 16 bits LE
inline constexpr size_t kMacroRecords = 40;     // flags, code, delay after it (16 bits LE)
inline constexpr size_t kMacroRecordSize = 4;
inline constexpr size_t kMacroMaxRecords = (kMacroImageSize - kMacroRecords) / kMacroRecordSize;
inline constexpr size_t kMacroChunk = 58;       // image bytes per request, from byte 5
inline constexpr size_t kMacroChunkData = 5;
static_assert(kMacroChunkData + kMacroChunk == kPayloadSize - 1, "a chunk fills the bytes that travel");

// ---- requests
// 01 00 81 01, sent to the receiver itself whatever the channel.
Payload BuildReceiverStatusQuery();
// ch+command, 00, 81, 01: status, button codes, settings, status after write.
Payload BuildRead(int channel, Command command);
// `profile` 1..5 goes out as profile - 1.
Payload BuildSelectProfile(int channel, int profile);
Payload BuildWriteButtonCodes(int channel, const ButtonCodes& codes);
// The settings write: the last settings reply (zeros when there is none)
// with the rows' values over the bytes the block owns.
Payload BuildWriteSettings(int channel, const Payload& lastReply, const SettingsValues& values);
// The report-rate index (0..6).
Payload BuildSetReportRate(int channel, int rate);
Payload BuildRestoreButtons(int channel);      // 02 FF
Payload BuildRestoreSecondScope(int channel);  // 04 FF
Payload BuildFactoryReset(int channel);        // FF
Payload BuildResetButton(int channel, int button);

// ---- replies
struct StatusReport {
  bool connected = false;  // bit 3 of byte 4
  int batteryState = 0;
  int batteryLevel = 0;
  int profileIndex = 0;    // 0-based
  int dpiStage = 0;
  int reportRate = 0;
  int maxReportRateLevel = 0;
};
StatusReport DecodeStatus(const Payload& reply);

// The settings rows a settings reply stands for, in table order.
std::vector<std::pair<std::string, int>> DecodeSettingsRows(const Payload& reply);

// What one slot's code read from the mouse stands for (key_code slot + 1),
// or nothing when the code carries no action this family knows.
std::optional<KeyActionRow> DecodeKeyAction(int slot, const KeyActionCode& code);

// One stored assignment as the encoder needs it.
struct ButtonAction {
  int kind = 0;
  int value = 0;
  int value2 = 0;
  int value3 = 0;
};
// The macro list entry a kind-23 action names, and its index in the mouse.
struct MacroRef {
  int playType = 0;
  int playTimes = 0;
  int deviceIndex = 0;
};
// Play byte of a macro: 2 and 3 for the two play modes, else 4 for a count
// above 1, else 1.
uint8_t PlayByte(int playType, int playTimes);
// The code of one action, or nothing when this family has no code for its
// kind (or its macro is not in the list): the slot then keeps what it held.
std::optional<KeyActionCode> EncodeKeyAction(const ButtonAction& action, std::optional<MacroRef> macro);

// ---- macros
struct MacroHeader {
  int playType = 0;
  int playTimes = 1;
  int delayTime = 0;
};
struct MacroImage {
  std::array<uint8_t, kMacroImageSize> bytes{};
  size_t length = kMacroRecords;  // header and the records written
  int records = 0;
  bool truncated = false;         // events left out for want of room
};
MacroImage EncodeMacroImage(const MacroHeader& header, std::span<const MacroEventIn> events);
// The requests that carry one image, in order.
std::vector<Payload> BuildMacroRequests(int channel, int deviceIndex, const MacroImage& image);

}  // namespace devsync::nordic
