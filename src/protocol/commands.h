// The command operations on a loaded model: write and read commands built from its
// templates, the analysis of a read reply, and the device ID check. They trace under
// the names the printer log has always used ("CStatDataObj::MakeWriteCommand").
#pragma once

#include <cstdint>
#include <span>

#include "model/stat_data_obj.h"

namespace pelmora::protocol {

// Size of every command, device ID and reply buffer the callers hand in.
inline constexpr std::size_t kCommandBufferSize = model::CStatDataObj::kTemplateMax;

// Shape of a read command, reported by MakeReadCommand and needed by AnalyzeReadData.
// Width: how many address bytes the command carries (0 when none).
inline constexpr std::uint32_t kAddressWidthLowByte = 1;
inline constexpr std::uint32_t kAddressWidthBothBytes = 2;
// Order: which address byte the reply's address digits give first (0 when none).
inline constexpr std::uint32_t kAddressHighFirst = 1;
inline constexpr std::uint32_t kAddressLowFirst = 2;

// Builds the command that writes `data` at `address` from the write template: every
// 0xFF byte becomes `data`, every 0xFE the address low byte, every 0xFD the high byte.
// `length` is the template length. False, with nothing written to `out`, when `out` is
// shorter than the template or the model has no write template (`length` 0).
// Logs the address and data byte in its own scope.
bool MakeWriteCommand(const model::CStatDataObj& model, std::uint16_t address, std::uint8_t data,
                      std::span<std::uint8_t> out, std::uint32_t& length);

// Builds the command that reads the byte at `address` from the read template (0xFE the
// low byte, 0xFD the high byte; 0xFF stays) and reports its address width and order
// (both 0 when the template carries no address, and after a failure). Fails as
// MakeWriteCommand does. Logs the address in its own scope.
bool MakeReadCommand(const model::CStatDataObj& model, std::uint16_t address,
                     std::span<std::uint8_t> out, std::uint32_t& length, std::uint32_t& width,
                     std::uint32_t& order);

// True when `reply` is a well-formed read reply whose data fields are all for `address`,
// ending in a NUL or form feed; `data` then holds the last field's byte (and is left
// alone when the reply has no field). `width` and `order` are those MakeReadCommand
// reported for the command. `data` may have been overwritten when the result is false.
bool AnalyzeReadData(const model::CStatDataObj& model, std::uint16_t address, std::uint32_t width,
                     std::uint32_t order, std::span<const std::uint8_t> reply, std::uint8_t& data);

// True when the first "MDL:" field of the device ID (key in either case; a key within
// the last 6 bytes is not looked at) names one of the model's names, ignoring letter
// case. The name ends at the first ';', the first NUL or the end of the ID.
bool CheckDeviceID(const model::CStatDataObj& model, std::span<const std::uint8_t> deviceId);

}  // namespace pelmora::protocol
