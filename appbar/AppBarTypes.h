#pragma once

#include <cstdint>
#include <initializer_list>

namespace quellion {

// Where a desktop bar sits. abeUnknown: not registered with the shell; abeFloat: an
// ordinary small window. The numeric values are stored in the bar's settings record.
enum TAppBarEdge : std::uint8_t {
  abeLeft = 0,
  abeTop = 1,
  abeRight = 2,
  abeBottom = 3,
  abeUnknown = 4,
  abeFloat = 5,
};

enum TAppBarFlag : std::uint8_t {
  abfAllowLeft = 0,
  abfAllowTop = 1,
  abfAllowRight = 2,
  abfAllowBottom = 3,
  abfAllowFloat = 4,
};

// A set of TAppBarFlag, one bit per flag from bit 0 (the stored byte).
class TAppBarFlags {
 public:
  constexpr TAppBarFlags() = default;
  constexpr TAppBarFlags(std::initializer_list<TAppBarFlag> flags) {
    for (TAppBarFlag f : flags)
      bits_ |= Bit(f);
  }
  static constexpr TAppBarFlags FromByte(std::uint8_t bits) {
    TAppBarFlags f;
    f.bits_ = bits;
    return f;
  }
  static constexpr TAppBarFlags All() {
    return {abfAllowLeft, abfAllowTop, abfAllowRight, abfAllowBottom, abfAllowFloat};
  }
  constexpr bool Contains(TAppBarFlag f) const { return (bits_ & Bit(f)) != 0; }
  constexpr std::uint8_t Byte() const { return bits_; }
  constexpr bool operator==(const TAppBarFlags&) const = default;

 private:
  static constexpr std::uint8_t Bit(TAppBarFlag f) { return std::uint8_t(1u << f); }
  std::uint8_t bits_ = 0;
};

enum TAppBarTaskEntry : std::uint8_t {
  abtShow = 0,
  abtHide = 1,
  abtFloatDependent = 2,
};

// A rectangle in screen pixels; Right and Bottom lie just outside it.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool Contains(int x, int y) const {
    return x >= Left && x < Right && y >= Top && y < Bottom;
  }
  constexpr void MoveTo(int left, int top) {
    Right = left + Width();
    Bottom = top + Height();
    Left = left;
    Top = top;
  }
  constexpr bool operator==(const TRect&) const = default;
};

struct TPoint {
  int X = 0;
  int Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

}  // namespace quellion
