#include "appbar/AppBarState.h"

#include <cstring>

namespace quellion {

namespace {

void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= std::uint32_t(p[i]) << (8 * i);
  return v;
}

// The signed fields from offset 12 to 79, in record order.
template <typename State>
auto IntFields(State& s) {
  return std::array{&s.SlideTime,      &s.HorzSizeInc,     &s.VertSizeInc,     &s.VertDockSize,
                    &s.HorzDockSize,   &s.FloatLeft,       &s.FloatTop,        &s.FloatRight,
                    &s.FloatBottom,    &s.MinWidth,        &s.MinHeight,       &s.MaxWidth,
                    &s.MaxHeight,      &s.MinVertDockSize, &s.MinHorzDockSize, &s.MaxVertDockSize,
                    &s.MaxHorzDockSize};
}

}  // namespace

std::array<std::uint8_t, AppBarStateRecordSize> EncodeAppBarState(const TAppBarState& s) {
  std::array<std::uint8_t, AppBarStateRecordSize> out{};
  PutU32(&out[0], s.Size);
  out[4] = s.Edge;
  out[5] = s.Flags.Byte();
  out[6] = s.AutoHide ? 1 : 0;
  out[7] = s.AlwaysOnTop ? 1 : 0;
  out[8] = s.SlideEffect ? 1 : 0;
  std::memcpy(&out[9], s.Padding1.data(), 3);
  std::size_t offset = 12;
  for (const std::int32_t* field : IntFields(s)) {
    PutU32(&out[offset], std::uint32_t(*field));
    offset += 4;
  }
  out[80] = s.TaskEntry;
  std::memcpy(&out[81], s.Padding2.data(), 3);
  return out;
}

std::optional<TAppBarState> DecodeAppBarState(std::span<const std::uint8_t> in) {
  if (in.size() != AppBarStateRecordSize)
    return std::nullopt;
  TAppBarState s;
  s.Size = GetU32(&in[0]);
  // abeUnknown ("not registered") is no place to restore to: it floats like any other
  // value that is no edge.
  s.Edge = in[4] < abeUnknown ? TAppBarEdge(in[4]) : abeFloat;
  s.Flags = TAppBarFlags::FromByte(in[5] & 0x1f);
  s.AutoHide = in[6] != 0;
  s.AlwaysOnTop = in[7] != 0;
  s.SlideEffect = in[8] != 0;
  std::memcpy(s.Padding1.data(), &in[9], 3);
  std::size_t offset = 12;
  for (std::int32_t* field : IntFields(s)) {
    *field = std::int32_t(GetU32(&in[offset]));
    offset += 4;
  }
  // The slide time is also the hide timer's interval: none at all would fire it without
  // pause.
  if (s.SlideTime <= 0)
    s.SlideTime = TAppBarState{}.SlideTime;
  s.TaskEntry = in[80] <= abtFloatDependent ? TAppBarTaskEntry(in[80]) : abtFloatDependent;
  std::memcpy(s.Padding2.data(), &in[81], 3);
  return s;
}

}  // namespace quellion
