#pragma once
// Identifiers by which tools and test drivers find the main window and its
// elements. Panels and text lines are child windows whose control ID is listed
// here and whose window text is their caption or text. The pictures, the image
// buttons and the animation are windowless: they are painted by their parent
// panel and have no window of their own (their ID is reserved for symmetry);
// ImageButton3 is clicked by pressing and releasing the left button on
// KavelPanel2 over it, for instance at the panel's centre.

namespace selvane::ui {

inline constexpr wchar_t kMainWindowClass[] = L"TFrmSelvane";
inline constexpr wchar_t kMainWindowTitle[] = L"FrmSelvane";
inline constexpr wchar_t kPanelClass[] = L"TPanel";
inline constexpr wchar_t kKavelPanelClass[] = L"TKavelPanel";
inline constexpr wchar_t kTextLineClass[] = L"TLabel";

enum ElementId : int {
  kIdBtnFechar = 1001,    // windowless, hidden
  kIdKavelPanel1 = 1002,  // child of the main window
  kIdImage1 = 1003,       // windowless
  kIdImage5 = 1004,       // windowless
  kIdLabel1 = 1005,       // child of KavelPanel1 (status line)
  kIdLabel3 = 1006,       // child of KavelPanel1 (title line)
  kIdLabel2 = 1007,       // child of KavelPanel1 (version)
  kIdGIFAnimator1 = 1008, // windowless
  kIdPanel1 = 1009,       // child of KavelPanel1 (edition choice)
  kIdLabel4 = 1010,       // child of Panel1
  kIdPanel2 = 1011,       // child of Panel1, tile "ECF"
  kIdPanel3 = 1012,       // child of Panel1, tile "NFC-e"
  kIdPanel4 = 1013,       // child of Panel1, tile "MEI"
  kIdKavelPanel2 = 1014,  // child of the main window
  kIdImageButton3 = 1015, // windowless, painted on KavelPanel2
};

}  // namespace selvane::ui
