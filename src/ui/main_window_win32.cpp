#include "ui/main_window_win32.h"

#include <windows.h>
#include <windowsx.h>

#include <array>
#include <mutex>

#include "editions/editions.h"
#include "ui/resource_ids.h"
#include "ui/dpi_scale.h"
#include "ui/element_ids.h"
#include "ui/gif_animator.h"
#include "ui/graphic_mouse.h"
#include "ui/image_button_win32.h"
#include "ui/layout.h"
#include "ui/panel_win32.h"
#include "ui/png_resource_win32.h"
#include "ui/resource_names.h"
#include "ui/status_tooltip_win32.h"
#include "ui/text_line_win32.h"
#include "ui/wide_text_win32.h"
#include "ui/window_class_win32.h"
#include "ui/window_layout.h"

namespace selvane::ui {
namespace {

// Private messages of the main window.
constexpr UINT kMsgUi = WM_APP + 1;        // lParam: heap-allocated UiMessage
constexpr UINT kMsgTick = WM_APP + 2;      // the frame timer handed over a tick
constexpr UINT kMsgActivate = WM_APP + 3;  // FormActivate, outside the activation itself

COLORREF ToColorRef(Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
Color FromColorRef(COLORREF c) { return (Color{GetRValue(c)} << 16) | (Color{GetGValue(c)} << 8) | GetBValue(c); }

HFONT MakeFont(const FontDesc& font) {
  // A negative height asks for the character height without internal leading.
  return CreateFontW(-font.height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(font.face).c_str());
}

// The button of a press or release message.
MouseButton ButtonOf(UINT msg) {
  switch (msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return MouseButton::kRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return MouseButton::kMiddle;
    default:
      return MouseButton::kLeft;
  }
}

RECT ToRect(const Box& b) { return RECT{b.left, b.top, b.Right(), b.Bottom()}; }

// Adapts a callback to a host interface.
class CallbackButtonHost : public ButtonHost {
 public:
  explicit CallbackButtonHost(std::function<void()> repaint) : repaint_(std::move(repaint)) {}
  void RepaintNow() override { repaint_(); }

 private:
  std::function<void()> repaint_;
};

// The last text of a message shown by the application's error handling gets
// a full stop, as the toolkit's default handler does.
std::string WithFullStop(std::string text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

class MainWindow final : public MainView, public AnimatorHost, public TickSink {
 public:
  MainWindow();
  ~MainWindow() override;

  void SetStatusText(const std::string& text) override {
    Label1->SetText(text);
    status_tip_->SetText(text);
  }
  void SetTitleText(const std::string& text) override { Label3->SetText(text); }
  void SetChoicePanelVisible(bool visible) override { ShowWindow(Panel1->Hwnd(), visible ? SW_SHOWNA : SW_HIDE); }
  void SetAnimation(bool running) override;
  void SetClosePanelEnabled(bool enabled) override { EnableWindow(KavelPanel2->Hwnd(), enabled ? TRUE : FALSE); }
  void ShowErrorMessage(const std::string& text) override {
    MessageBoxW(hwnd_, Wide(WithFullStop(text)).c_str(), L"Selvane", MB_OK | MB_ICONERROR);
  }
  void Post(UiMessage msg) override;
  void SetMessageHandler(std::function<void(const UiMessage&)> handler) override { handler_ = std::move(handler); }
  void SetEvents(MainViewEvents events) override;
  bool ProcessMessages() override;
  int RunMessageLoop() override;
  void Terminate() override { PostQuitMessage(0); }

  // AnimatorHost
  void RepaintNow() override {
    const RECT r = AnimatorRect();
    RedrawWindow(KavelPanel1->Hwnd(), &r, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
  void Invalidate() override {
    const RECT r = AnimatorRect();
    InvalidateRect(KavelPanel1->Hwnd(), &r, FALSE);
  }
  bool HasParentWindow() const override { return KavelPanel1 && IsWindow(KavelPanel1->Hwnd()); }

  // TickSink, on the timer thread.
  void TickPending() override { PostMessageW(hwnd_, kMsgTick, 0, 0); }

 private:
  friend LRESULT CALLBACK ObjectWindowProc<MainWindow>(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void ConfigureControls();
  void CreateElements();
  // Everything that depends on the display scale: fonts, pictures, places,
  // sizes and rounded outlines. `suggested` is where the system wants the
  // window after a change of monitor; without it the window is centred.
  void ApplyDpi(int dpi, const RECT* suggested);
  void LoadArtwork(int percent);
  void PaintKavelPanel1(Canvas& canvas);
  void PaintKavelPanel2(Canvas& canvas);
  bool CloseButtonMouse(UINT msg, WPARAM wp, LPARAM lp);
  void DropQueuedMessages();
  RECT AnimatorRect() const { return RectOf(*GIFAnimator1); }

  HWND hwnd_ = nullptr;
  WindowLayout layout_ = LayoutForDpi(kBaseDpi);
  int artwork_percent_ = 0;       // of the pictures loaded; 0 before the first
  std::array<HFONT, 5> fonts_{};  // default, status, title, small, tile
  // The form's controls, by their names; Image1 and Image5 are pictures only.
  std::unique_ptr<PanelWindow> KavelPanel1, Panel1, KavelPanel2;
  std::array<std::unique_ptr<PanelWindow>, 3> tiles_;  // Panel2, Panel3, Panel4
  std::unique_ptr<TextLineWindow> Label1, Label3, Label2, Label4;
  std::unique_ptr<StatusTooltip> status_tip_;
  RgbaImage Image1, Image5;
  CallbackButtonHost button3_host_;
  TImageButton BtnFechar;
  TImageButton ImageButton3;
  GraphicMouse button3_mouse_{&ImageButton3};
  TFrameTimer* timer_ = nullptr;  // owned by GIFAnimator1
  std::unique_ptr<TGIFAnimator> GIFAnimator1;

  MainViewEvents events_;
  std::function<void(const UiMessage&)> handler_;
  bool form_created_ = false;
  bool quit_seen_ = false;
  int exit_code_ = 0;
  // Post and the window's end agree through this lock: nothing is queued after
  // the queue has been emptied for good.
  std::mutex post_mutex_;
  bool closed_ = false;
};

MainWindow::MainWindow()
    : button3_host_([this] {
        const RECT r = RectOf(ImageButton3);
        if (KavelPanel2) RedrawWindow(KavelPanel2->Hwnd(), &r, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      }) {
  WNDCLASSEXW wc{};
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!GetClassInfoExW(instance, kMainWindowClass, &wc)) {
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ObjectWindowProc<MainWindow>;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(SELVANE_IDI_MAIN), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(SELVANE_IDI_MAIN), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.lpszClassName = kMainWindowClass;
    RegisterClassExW(&wc);
  }
  // Made at the 96-dpi size; ApplyDpi sizes and centres it for the monitor's
  // scale before it is first shown.
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  hwnd_ = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_APPWINDOW, kMainWindowClass, kMainWindowTitle,
                          WS_POPUP | WS_CLIPCHILDREN, x, y, kWindowWidth, kWindowHeight,
                          nullptr, nullptr, instance, this);
  // Every pixel left in the button face colour is see-through and click-through.
  SetLayeredWindowAttributes(hwnd_, GetSysColor(COLOR_BTNFACE), 0, LWA_COLORKEY);

  layout_ = LayoutForDpi(static_cast<int>(GetDpiForWindow(hwnd_)));
  fonts_ = {MakeFont(layout_.default_font), MakeFont(layout_.status_font), MakeFont(layout_.title_font),
            MakeFont(layout_.small_font), MakeFont(layout_.tile_font)};
  ConfigureControls();
  CreateElements();
  ApplyDpi(layout_.dpi, nullptr);
}

MainWindow::~MainWindow() {
  GIFAnimator1.reset();  // ends the timer thread first
  status_tip_.reset();
  KavelPanel2.reset();
  for (auto& t : tiles_) t.reset();
  Label4.reset();
  Panel1.reset();
  Label1.reset();
  Label2.reset();
  Label3.reset();
  KavelPanel1.reset();
  // Destroyed by its owner, not closed by the user: the application goes on.
  DestroyUnbound(hwnd_);
  DropQueuedMessages();
  for (HFONT f : fonts_) DeleteObject(f);
}

void MainWindow::ConfigureControls() {
  BtnFechar.SetButtonLayout(TImageButtonLayout::pbsImageAbove);
  BtnFechar.SetButtonStyle(TImageButtonStyle::pbsNoFrame);
  BtnFechar.SetVisible(false);
  BtnFechar.OnClick = [this] {
    if (events_.close_click) events_.close_click();
  };

  ImageButton3.SetButtonLayout(TImageButtonLayout::pbsImageAbove);
  ImageButton3.SetButtonStyle(TImageButtonStyle::pbsNoFrame);
  ImageButton3.SetHost(&button3_host_);
  ImageButton3.OnClick = [this] {
    if (events_.close_click) events_.close_click();
  };

  auto timer = std::make_unique<TFrameTimer>(this);
  timer_ = timer.get();
  GIFAnimator1 = std::make_unique<TGIFAnimator>(std::move(timer), nullptr, FromColorRef(GetSysColor(COLOR_WINDOW)));
  GIFAnimator1->SetVisible(false);
}

void MainWindow::LoadArtwork(int percent) {
  if (percent == artwork_percent_) return;
  artwork_percent_ = percent;
  // A picture that cannot be read leaves its element empty; the window works on.
  auto png = [percent](const wchar_t* name) {
    try {
      return LoadPngResource(ArtworkResource(name, percent).c_str());
    } catch (const std::exception&) {
      return RgbaImage{};
    }
  };
  Image1 = png(kResLogo);
  Image5 = png(kResEmblem);
  BtnFechar.SetImageNormal(png(kResCloseHidden));
  ImageButton3.SetImageNormal(png(kResCloseButton));
  const std::string_view gif = ResourceBytes(ArtworkResource(kResBusy, percent).c_str());
  try {
    GIFAnimator1->SetImage(DecodeGif({reinterpret_cast<const uint8_t*>(gif.data()), gif.size()}));
  } catch (const GifError&) {
    // No animation rather than no window.
  }
}

void MainWindow::ApplyDpi(int dpi, const RECT* suggested) {
  layout_ = LayoutForDpi(dpi);
  const WindowLayout& l = layout_;
  const std::array<HFONT, 5> old_fonts = fonts_;
  fonts_ = {MakeFont(l.default_font), MakeFont(l.status_font), MakeFont(l.title_font), MakeFont(l.small_font),
            MakeFont(l.tile_font)};

  const int x = suggested ? suggested->left : (GetSystemMetrics(SM_CXSCREEN) - l.window_width) / 2;
  const int y = suggested ? suggested->top : (GetSystemMetrics(SM_CYSCREEN) - l.window_height) / 2;
  SetWindowPos(hwnd_, nullptr, x, y, l.window_width, l.window_height, SWP_NOZORDER | SWP_NOACTIVATE);

  // The controls' boxes first, so that the new pictures size the animation.
  BtnFechar.SetBounds(l.BtnFechar.left, l.BtnFechar.top, l.BtnFechar.width, l.BtnFechar.height);
  ImageButton3.SetBounds(l.ImageButton3.left, l.ImageButton3.top, l.ImageButton3.width, l.ImageButton3.height);
  GIFAnimator1->SetBounds(l.GIFAnimator1.left, l.GIFAnimator1.top, l.GIFAnimator1.width, l.GIFAnimator1.height);
  LoadArtwork(l.artwork_percent);

  // The outlines are cut from the new sizes.
  KavelPanel1->Move(l.KavelPanel1);
  KavelPanel1->SetArredondamento(l.KavelPanel1Rounding);
  KavelPanel2->Move(l.KavelPanel2);
  KavelPanel2->SetArredondamento(l.KavelPanel2Rounding);
  Label1->Place(l.Label1, fonts_[1]);
  Label3->Place(l.Label3, fonts_[2]);
  Label2->Place(Box{l.label2_right, l.label2_top, 0, l.small_line_height}, fonts_[3]);
  Panel1->Move(l.Panel1);
  Label4->Place(Box{l.label4_right, l.label4_top, 0, l.small_line_height}, fonts_[3]);
  const std::array<Box, 3> tile_boxes{l.Panel2, l.Panel3, l.Panel4};
  for (size_t i = 0; i < tiles_.size(); ++i) {
    tiles_[i]->Move(tile_boxes[i]);
    tiles_[i]->SetCaptionFont(fonts_[4]);
  }
  status_tip_->SetArea(ToRect(l.Label1), l.window_width, l.dpi);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  for (HFONT f : old_fonts) DeleteObject(f);
}

void MainWindow::CreateElements() {
  const COLORREF white = RGB(255, 255, 255);
  const COLORREF panel_fill = ToColorRef(kKavelPanel1Fill);

  const WindowLayout& l = layout_;
  KavelPanel1 = std::make_unique<PanelWindow>(hwnd_, kIdKavelPanel1, kKavelPanelClass, l.KavelPanel1, panel_fill);
  KavelPanel1->SetArredondamento(l.KavelPanel1Rounding);
  KavelPanel1->on_paint = [this](Canvas& c) { PaintKavelPanel1(c); };
  GIFAnimator1->SetHost(this);

  Label1 = std::make_unique<TextLineWindow>(KavelPanel1->Hwnd(), kIdLabel1, l.Label1,
                                             TextLineWindow::Sizing::kFixedCentred, fonts_[1], white, panel_fill);
  status_tip_ = std::make_unique<StatusTooltip>(KavelPanel1->Hwnd());
  SetStatusText(kStatusAtStart);
  Label3 = std::make_unique<TextLineWindow>(KavelPanel1->Hwnd(), kIdLabel3, l.Label3,
                                             TextLineWindow::Sizing::kFixedCentred, fonts_[2], white, panel_fill);
  Label2 = std::make_unique<TextLineWindow>(KavelPanel1->Hwnd(), kIdLabel2,
                                             Box{l.label2_right, l.label2_top, 0, l.small_line_height},
                                             TextLineWindow::Sizing::kAutoRightAnchored, fonts_[3], white, panel_fill);
  Label2->SetText(kVersionText);

  Panel1 = std::make_unique<PanelWindow>(KavelPanel1->Hwnd(), kIdPanel1, kPanelClass, l.Panel1,
                                          ToColorRef(kPanel1Fill));
  Panel1->SetBevel(false);
  Label4 = std::make_unique<TextLineWindow>(Panel1->Hwnd(), kIdLabel4,
                                             Box{l.label4_right, l.label4_top, 0, l.small_line_height},
                                             TextLineWindow::Sizing::kAutoRightAnchored, fonts_[3], white,
                                             ToColorRef(kPanel1Fill));
  Label4->SetText(kQuestionText);
  const std::array<Box, 3> tile_boxes{l.Panel2, l.Panel3, l.Panel4};
  const std::array<int, 3> tile_ids{kIdPanel2, kIdPanel3, kIdPanel4};
  const std::array<Edition, 3> editions{Edition::kECF, Edition::kNFCE, Edition::kMEI};
  for (size_t i = 0; i < 3; ++i) {
    tiles_[i] = std::make_unique<PanelWindow>(Panel1->Hwnd(), tile_ids[i], kPanelClass, tile_boxes[i],
                                              ToColorRef(kTileFill));
    tiles_[i]->SetBevel(false);
    tiles_[i]->SetHandCursor(true);
    const Edition edition = editions[i];
    tiles_[i]->SetCaption(std::string(GetEdition(edition).choice_caption), fonts_[4], GetSysColor(COLOR_WINDOW));
    tiles_[i]->on_click = [this, edition] {
      if (events_.choice_click) events_.choice_click(edition);
    };
  }
  // Windowed elements lie over everything else of their parent.
  SetWindowPos(Panel1->Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(Panel1->Hwnd(), SW_HIDE);

  KavelPanel2 = std::make_unique<PanelWindow>(hwnd_, kIdKavelPanel2, kKavelPanelClass, l.KavelPanel2,
                                                GetSysColor(COLOR_BTNFACE));
  KavelPanel2->SetArredondamento(l.KavelPanel2Rounding);
  KavelPanel2->on_paint = [this](Canvas& c) { PaintKavelPanel2(c); };
  KavelPanel2->on_mouse = [this](UINT msg, WPARAM wp, LPARAM lp) { return CloseButtonMouse(msg, wp, lp); };
  KavelPanel2->cursor_at = [this](int x, int y) -> HCURSOR {
    return button3_mouse_.Inside(x, y) ? LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)) : nullptr;  // IDC_HAND
  };
  SetWindowPos(KavelPanel2->Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainWindow::PaintKavelPanel1(Canvas& canvas) {
  RECT client;
  GetClientRect(KavelPanel1->Hwnd(), &client);
  const WindowLayout& l = layout_;
  canvas.Blend(Image1, l.Image1.left, l.Image1.top, ToRect(l.Image1));
  canvas.Blend(Image5, l.Image5.left, l.Image5.top, ToRect(l.Image5));
  if (!GIFAnimator1->Visible()) return;
  const RECT box = AnimatorRect();
  const AnimatorPaint plan = GIFAnimator1->PlanPaint();
  if (plan.fill) canvas.Fill(box, ToColorRef(kKavelPanel1Fill));
  if (plan.frame)
    canvas.DrawPixels(plan.frame->pixels.data(), plan.frame->width, plan.frame->height, box.left + plan.dest_left,
                      box.top + plan.dest_top, plan.dest_width, plan.dest_height, plan.transparent, box);
}

void MainWindow::PaintKavelPanel2(Canvas& canvas) {
  PaintImageButton(canvas, ImageButton3, fonts_[0], GetSysColor(COLOR_WINDOWTEXT));
}

bool MainWindow::CloseButtonMouse(UINT msg, WPARAM wp, LPARAM lp) {
  (void)wp;
  HWND panel = KavelPanel2->Hwnd();
  const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  auto capture = [panel](bool hold) {
    if (hold && GetCapture() != panel) SetCapture(panel);
    if (!hold && GetCapture() == panel) ReleaseCapture();
  };
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      capture(button3_mouse_.Press(ButtonOf(msg), x, y));
      return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      capture(button3_mouse_.Release(ButtonOf(msg), x, y));
      return true;
    case WM_MOUSEMOVE: {
      TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, panel, 0};
      TrackMouseEvent(&tme);
      button3_mouse_.Move(x, y);
      return true;
    }
    case WM_MOUSELEAVE:
      button3_mouse_.LeaveWindow();
      return true;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != panel) button3_mouse_.CaptureLost();
      return false;
    default:
      return false;
  }
}

void MainWindow::SetAnimation(bool running) {
  if (running) {
    GIFAnimator1->SetVisible(true);
    GIFAnimator1->SetAnimate(true);
  } else {
    GIFAnimator1->SetAnimate(false);
    GIFAnimator1->SetVisible(false);
  }
}

void MainWindow::Post(UiMessage msg) {
  auto* heap = new UiMessage(std::move(msg));
  std::lock_guard lock(post_mutex_);
  if (closed_ || !PostMessageW(hwnd_, kMsgUi, 0, reinterpret_cast<LPARAM>(heap))) delete heap;
}

void MainWindow::DropQueuedMessages() {
  {
    std::lock_guard lock(post_mutex_);
    closed_ = true;
  }
  MSG msg;
  while (PeekMessageW(&msg, hwnd_, kMsgUi, kMsgUi, PM_REMOVE)) delete reinterpret_cast<UiMessage*>(msg.lParam);
}

void MainWindow::SetEvents(MainViewEvents events) {
  events_ = std::move(events);
  if (!form_created_) {
    form_created_ = true;
    if (events_.form_create) events_.form_create();
  }
}

bool MainWindow::ProcessMessages() {
  if (quit_seen_) return false;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit_seen_ = true;
      exit_code_ = static_cast<int>(msg.wParam);
      PostQuitMessage(exit_code_);  // the main loop must see it too
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

int MainWindow::RunMessageLoop() {
  if (!quit_seen_) {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetForegroundWindow(hwnd_);
  }
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  quit_seen_ = true;
  return static_cast<int>(msg.wParam);
}

LRESULT MainWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kMsgUi: {
      std::unique_ptr<UiMessage> m(reinterpret_cast<UiMessage*>(lp));
      if (handler_) handler_(*m);
      return 0;
    }
    case kMsgTick:
      if (timer_) timer_->ServeTick();
      return 0;
    case kMsgActivate:
      if (events_.form_activate) events_.form_activate();
      return 0;
    case WM_DPICHANGED:
      // Moved to a monitor of another scale: the system's rectangle keeps
      // the window under the pointer; fresh fonts and pictures for the scale.
      ApplyDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) PostMessageW(hwnd_, kMsgActivate, 0, 0);
      break;
    case WM_DESTROY:
      DropQueuedMessages();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace

std::unique_ptr<MainView> CreateMainWindow() { return std::make_unique<MainWindow>(); }

}  // namespace selvane::ui
