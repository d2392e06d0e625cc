// Shows the main window in one of its visible states, driven through MainView
// as the controller drives it, so that the window can be looked at and
// photographed without a server:
//   ui_window_states <choice|running|failed|created> [seconds]
// The window closes by itself after the given seconds (default 5).

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/main_window_win32.h"

int main(int argc, char** argv) {
  const std::string state = argc > 1 ? argv[1] : "created";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
  auto view = selvane::ui::CreateMainWindow();
  selvane::MainViewEvents events;
  events.close_click = [&] { view->Terminate(); };
  view->SetEvents(std::move(events));
  if (state == "choice") {
    view->SetChoicePanelVisible(true);
  } else if (state == "running") {
    view->SetTitleText("Atualização Kavel Vendra-MEI");
    view->SetStatusText("Atualizando Sistema... 42%");
    view->SetAnimation(true);
    view->SetClosePanelEnabled(false);
  } else if (state == "failed") {
    view->SetTitleText("Instalação Kavel Vendra-NFCe");
    view->SetStatusText("Não Foi Possível Conectar...");
    view->SetAnimation(false);
    view->SetClosePanelEnabled(true);
  }
  SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); });
  return view->RunMessageLoop();
}
