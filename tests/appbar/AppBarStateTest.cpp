#include <gtest/gtest.h>

#include <vector>

#include "appbar/AppBarState.h"

namespace quellion {
namespace {

std::int32_t I32At(const std::array<std::uint8_t, 84>& b, std::size_t at) {
  return std::int32_t(std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 |
                      std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24);
}

TEST(AppBarStateRecord, LayoutIsLittleEndianAtTheFixedOffsets) {
  TAppBarState s;
  s.Edge = abeRight;
  s.Flags = {abfAllowLeft, abfAllowRight, abfAllowFloat};
  s.AutoHide = true;
  s.AlwaysOnTop = false;
  s.SlideEffect = true;
  const std::int32_t values[17] = {400, 1,   -1,   250, 32,  -5,  110, 692, 694,
                                   237, 200, 1024, 768, 248, 200, 512, 384};
  std::int32_t* fields[17] = {
      &s.SlideTime,       &s.HorzSizeInc,    &s.VertSizeInc, &s.VertDockSize,    &s.HorzDockSize,
      &s.FloatLeft,       &s.FloatTop,       &s.FloatRight,  &s.FloatBottom,     &s.MinWidth,
      &s.MinHeight,       &s.MaxWidth,       &s.MaxHeight,   &s.MinVertDockSize, &s.MinHorzDockSize,
      &s.MaxVertDockSize, &s.MaxHorzDockSize};
  for (int i = 0; i < 17; ++i)
    *fields[i] = values[i];
  s.TaskEntry = abtHide;

  const auto bytes = EncodeAppBarState(s);
  EXPECT_EQ(I32At(bytes, 0), 84);
  EXPECT_EQ(bytes[4], 2);
  EXPECT_EQ(bytes[5], 0x15);
  EXPECT_EQ(bytes[6], 1);
  EXPECT_EQ(bytes[7], 0);
  EXPECT_EQ(bytes[8], 1);
  for (int i = 0; i < 17; ++i)
    EXPECT_EQ(I32At(bytes, 12 + 4 * i), values[i]) << "field " << i;
  EXPECT_EQ(bytes[80], 1);

  const auto back = DecodeAppBarState(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, s);
}

TEST(AppBarStateRecord, PaddingAndSizeFieldTravelAsRead) {
  std::array<std::uint8_t, 84> bytes = EncodeAppBarState(TAppBarState{});
  bytes[0] = 99;  // the size field is not checked
  bytes[9] = 0xAA;
  bytes[11] = 0xBB;
  bytes[81] = 0xCC;
  bytes[83] = 0xDD;
  const auto state = DecodeAppBarState(bytes);
  ASSERT_TRUE(state);
  EXPECT_EQ(state->Size, 99u);
  EXPECT_EQ(EncodeAppBarState(*state), bytes);
}

TEST(AppBarStateRecord, OnlyExactly84BytesDecode) {
  const auto good = EncodeAppBarState(TAppBarState{});
  for (std::size_t size : {0u, 83u, 85u, 168u}) {
    std::vector<std::uint8_t> bytes(size, 0);
    std::copy_n(good.begin(), std::min<std::size_t>(size, 84), bytes.begin());
    EXPECT_FALSE(DecodeAppBarState(bytes)) << size;
  }
}

TEST(AppBarStateRecord, DamagedBytesReadAsDefaults) {
  auto bytes = EncodeAppBarState(TAppBarState{});
  bytes[5] = 0xFF;  // bits beyond the five flags
  bytes[6] = 7;     // a non-zero boolean is true
  bytes[80] = 9;    // no such taskbar rule
  const auto state = DecodeAppBarState(bytes);
  ASSERT_TRUE(state);
  EXPECT_EQ(state->Flags, TAppBarFlags::All());
  EXPECT_TRUE(state->AutoHide);
  EXPECT_EQ(state->TaskEntry, abtFloatDependent);

  // Stored edge byte -> restored edge.
  const std::pair<std::uint8_t, TAppBarEdge> edges[] = {
      {0, abeLeft}, {3, abeBottom}, {4, abeFloat}, {5, abeFloat}, {200, abeFloat}};
  for (const auto& [stored, restored] : edges) {
    bytes[4] = stored;
    EXPECT_EQ(DecodeAppBarState(bytes)->Edge, restored) << int(stored);
  }
  // Stored slide time -> restored one: none or a negative one is the default 400 ms.
  const std::pair<std::int32_t, std::int32_t> slides[] = {{1, 1}, {0, 400}, {-5, 400}};
  for (const auto& [stored, restored] : slides) {
    TAppBarState s;
    s.SlideTime = stored;
    EXPECT_EQ(DecodeAppBarState(EncodeAppBarState(s))->SlideTime, restored) << stored;
  }
}

}  // namespace
}  // namespace quellion
