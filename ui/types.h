// The small value types of the control layer: sets, mouse and key arguments, event shapes.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

#include "imaging/graphic.h"
#include "imaging/image_view.h"  // TAlign
#include "platform/gdi/gdi.h"

// A set of the values of a small enumeration.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) bits_ |= Bit(e);
  }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr TSet With(E e) const { return FromBits(bits_ | Bit(e)); }
  constexpr TSet Without(E e) const { return FromBits(bits_ & ~Bit(e)); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr std::uint32_t Bits() const { return bits_; }
  static constexpr TSet FromBits(std::uint32_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr bool operator==(const TSet&) const = default;

 private:
  static constexpr std::uint32_t Bit(E e) { return 1u << unsigned(e); }
  std::uint32_t bits_ = 0;
};

enum class TAnchorKind : std::uint8_t { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
inline constexpr TAnchors kDefaultAnchors{TAnchorKind::akLeft, TAnchorKind::akTop};

enum class TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };
enum class TShiftStateItem : std::uint8_t {
  ssShift,
  ssAlt,
  ssCtrl,
  ssLeft,
  ssRight,
  ssMiddle,
  ssDouble
};
using TShiftState = TSet<TShiftStateItem>;

enum class TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
enum class TTextLayout : std::uint8_t { tlTop, tlCenter, tlBottom };
enum class TBevelCut : std::uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
enum class TBevelKind : std::uint8_t { bkNone, bkTile, bkSoft, bkFlat };
enum class TBorderStyle : std::uint8_t { bsNone, bsSingle };
enum class TScrollBarKind : std::uint8_t { sbHorizontal, sbVertical };

// Cursor numbers as the system's controls use them.
using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

namespace ui {
// Makes a program's own cursor number show as one of the stock cursors (the link labels'
// hand, 26000). Registering a number again replaces its cursor.
void RegisterCursor(TCursor number, TCursor stock);
// The stock cursor a number stands for: itself unless registered.
TCursor ResolveCursor(TCursor cursor);
}  // namespace ui

using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TMouseWheelEvent = std::function<void(TObject* sender, TShiftState shift, int wheelDelta,
                                            win::POINT mousePos, bool& handled)>;
using TKeyEvent = std::function<void(TObject* sender, std::uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

// Virtual key codes the controls look at.
inline constexpr std::uint16_t VK_RETURN = 0x0D;
inline constexpr std::uint16_t VK_ESCAPE = 0x1B;
inline constexpr std::uint16_t VK_PRIOR = 0x21;
inline constexpr std::uint16_t VK_NEXT = 0x22;
inline constexpr std::uint16_t VK_END = 0x23;
inline constexpr std::uint16_t VK_HOME = 0x24;
inline constexpr std::uint16_t VK_LEFT = 0x25;
inline constexpr std::uint16_t VK_UP = 0x26;
inline constexpr std::uint16_t VK_RIGHT = 0x27;
inline constexpr std::uint16_t VK_DOWN = 0x28;
inline constexpr std::uint16_t VK_DELETE = 0x2E;
inline constexpr std::uint16_t VK_APPS = 0x5D;
inline constexpr std::uint16_t VK_F2 = 0x71;
inline constexpr std::uint16_t VK_F5 = 0x74;
inline constexpr std::uint16_t VK_F10 = 0x79;

constexpr win::RECT Rect(int left, int top, int right, int bottom) {
  return {left, top, right, bottom};
}
constexpr win::RECT Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}
