#pragma once
// The window as the controller sees it: the elements of the main window that
// the controller and the worker drive, by the names of the layout. The Win32
// window (src/ui/win32) implements it; native tests use a recording stand-in.
// Every method except Post runs on the window thread.

#include <functional>
#include <string>

#include "editions/editions.h"
#include "ui/ui_message.h"

namespace selvane {

// Window events, delivered on the window thread.
struct MainViewEvents {
  std::function<void()> form_create;                // FormCreate
  std::function<void()> form_activate;              // every activation; the controller acts on the first
  std::function<void(Edition)> choice_click;        // Panel2Click, Panel3Click, Panel4Click
  std::function<void()> close_click;                // ImageButton3Click, BtnFecharClick
};

class MainView {
 public:
  virtual ~MainView() = default;

  virtual void SetStatusText(const std::string& text) = 0;  // Label1
  virtual void SetTitleText(const std::string& text) = 0;   // Label3
  virtual void SetChoicePanelVisible(bool visible) = 0;     // Panel1 (with Panel2..4)
  virtual void SetAnimation(bool running) = 0;              // GIFAnimator1: Visible and Animate
  virtual void SetClosePanelEnabled(bool enabled) = 0;      // KavelPanel2
  // The application's default error handling: an error that escapes a window
  // event (a failed shortcut creation) is shown in a message box with this text.
  virtual void ShowErrorMessage(const std::string& text) = 0;

  // Thread-safe: queues a message for the window thread, which hands it to the
  // handler set below. Never blocks.
  virtual void Post(UiMessage msg) = 0;
  virtual void SetMessageHandler(std::function<void(const UiMessage&)> handler) = 0;
  virtual void SetEvents(MainViewEvents events) = 0;

  // Dispatches the window thread's pending messages and returns (the
  // installation wait calls it on every pass). Returns false once the
  // application has been told to end.
  virtual bool ProcessMessages() = 0;
  // Shows the window and runs the message loop until Terminate; returns the exit code.
  virtual int RunMessageLoop() = 0;
  // Tells the application to end: the message loop finishes.
  virtual void Terminate() = 0;
};

}  // namespace selvane
