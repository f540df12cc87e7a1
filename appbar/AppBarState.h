#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "appbar/AppBarTypes.h"

namespace quellion {

// The bar's persistent state. Stored as an 84-byte little-endian record (the key's
// default value); the padding bytes travel with it unchanged.
struct TAppBarState {
  std::uint32_t Size = 84;
  TAppBarEdge Edge = abeFloat;
  TAppBarFlags Flags = TAppBarFlags::All();
  bool AutoHide = false;
  bool AlwaysOnTop = true;
  bool SlideEffect = true;
  std::array<std::uint8_t, 3> Padding1{};
  std::int32_t SlideTime = 400;
  std::int32_t HorzSizeInc = 1;
  std::int32_t VertSizeInc = 1;
  std::int32_t VertDockSize = 32;
  std::int32_t HorzDockSize = 32;
  std::int32_t FloatLeft = 0;
  std::int32_t FloatTop = 0;
  std::int32_t FloatRight = 0;
  std::int32_t FloatBottom = 0;
  std::int32_t MinWidth = 0;
  std::int32_t MinHeight = 0;
  std::int32_t MaxWidth = 0;
  std::int32_t MaxHeight = 0;
  std::int32_t MinVertDockSize = 0;
  std::int32_t MinHorzDockSize = 0;
  std::int32_t MaxVertDockSize = 0;
  std::int32_t MaxHorzDockSize = 0;
  TAppBarTaskEntry TaskEntry = abtFloatDependent;
  std::array<std::uint8_t, 3> Padding2{};

  bool operator==(const TAppBarState&) const = default;
};

inline constexpr std::size_t AppBarStateRecordSize = 84;

std::array<std::uint8_t, AppBarStateRecordSize> EncodeAppBarState(const TAppBarState& state);

// Reads a record of exactly 84 bytes (the size field is not checked). Enumeration bytes
// outside their range read as the construction default, so a damaged record can never
// produce an edge the bar does not know; unknown flag bits are dropped.
std::optional<TAppBarState> DecodeAppBarState(std::span<const std::uint8_t> bytes);

}  // namespace quellion
