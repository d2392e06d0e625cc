#pragma once
// Where every element of the main window sits and how it looks: positions are
// in pixels at 96 dpi, relative to the client area of the element's parent.

#include <cstdint>

namespace selvane::ui {

struct Box {
  int left, top, width, height;
  constexpr int Right() const { return left + width; }
  constexpr int Bottom() const { return top + height; }
};

// RGB as 0xRRGGBB.
using Rgb = uint32_t;

inline constexpr int kWindowWidth = 515;
inline constexpr int kWindowHeight = 341;

inline constexpr Box kBtnFechar{464, -1, 40, 40};
inline constexpr Box kKavelPanel1{8, 0, 504, 333};
inline constexpr int kKavelPanel1Rounding = 120;
inline constexpr Rgb kKavelPanel1Fill = 0x00336A;
inline constexpr Box kImage1{200, 28, 100, 30};
inline constexpr Box kImage5{384, -15, 150, 150};
inline constexpr Box kLabel1{4, 225, 498, 32};
inline constexpr Box kLabel3{4, 143, 496, 32};
inline constexpr int kLabel2Right = 460;  // auto-sized, right edge fixed
inline constexpr int kLabel2Top = 304;
inline constexpr Box kGIFAnimator1{237, 191, 28, 28};
inline constexpr Box kPanel1{4, 144, 492, 121};
inline constexpr Rgb kPanel1Fill = 0x00336A;
inline constexpr int kLabel4Right = 330;  // auto-sized, right edge fixed
inline constexpr int kLabel4Top = 7;
inline constexpr Box kPanel2{63, 57, 113, 41};
inline constexpr Box kPanel3{192, 57, 113, 41};
inline constexpr Box kPanel4{320, 57, 113, 41};
inline constexpr Rgb kTileFill = 0x18ADA1;
inline constexpr Box kKavelPanel2{481, 3, 29, 29};
inline constexpr int kKavelPanel2Rounding = 10;
inline constexpr Box kImageButton3{-10, -8, 49, 49};

inline constexpr char kStatusAtStart[] = "Aguardando...";
inline constexpr char kVersionText[] = "Versão " SELVANE_VERSION;
inline constexpr char kQuestionText[] = "Qual Vendra Vamos Instalar?";
inline constexpr char kCloseHint[] = "Fechar";

// Fonts: face and character height in pixels (without internal leading).
struct FontDesc {
  const char* face;
  int height;
};
inline constexpr FontDesc kDefaultFont{"Tahoma", 11};
inline constexpr FontDesc kStatusFont{"Tahoma", 17};
inline constexpr FontDesc kTitleFont{"Segoe UI Light", 24};
inline constexpr FontDesc kSmallFont{"Tahoma", 15};  // Label2, Label4
inline constexpr FontDesc kTileFont{"Sailec Regular", 15};

// Box of a text line that sizes itself to its text and keeps its right edge.
constexpr Box RightAnchoredBox(int right, int top, int text_width, int text_height) {
  return Box{right - text_width, top, text_width, text_height};
}

}  // namespace selvane::ui
