// Program entry of Selvane.exe: creates the main window and its controller,
// then the data module with the server connection, and runs the message loop.

#include <windows.h>
#include <objbase.h>

#include <exception>
#include <memory>
#include <string>

#include "app/frm_selvane.h"
#include "app/posting_window_port.h"
#include "platform/env.h"
#include "base/text.h"
#include "install/worker.h"
#include "main/trust_key.h"
#include "server/dm.h"
#include "ui/close_guard_win32.h"
#include "ui/main_window_win32.h"

namespace {

// The application's default error handling for an error that escapes start-up.
void ShowStartError(const std::string& text) {
  const std::u16string wide = selvane::Utf8ToUtf16(text);
  MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str()), L"Selvane", MB_OK | MB_ICONERROR);
}

int Run() {
  using namespace selvane;
  Env& env = *DefaultEnv();

  // The worker may still post its last messages while the program ends, so its
  // port lives for the whole process; the window detaches it when it goes.
  static PostingWindowPort* const port = new PostingWindowPort;

  // Data module DM with the server connection ConexaoServer, created after the
  // window. The worker that a launcher starts shares it: the program's end
  // lets go of the window thread's share, and the connection is closed by the
  // last owner, so never under a call in flight. No launcher can run before
  // the loop, so the pointer is set by the time one does.
  std::shared_ptr<TDM> DM;
  WorkerLauncher launcher = [&env, &DM](const EditionInfo& edition, bool Instalacao, WindowPort& window) {
    StartWorker(env, edition, Instalacao, window, std::shared_ptr<TServerConnection>(DM, &DM->ConexaoServer),
                kTrustKey);
  };

  std::unique_ptr<MainView> view = ui::CreateMainWindow();
  TFrmSelvane frm(*view, env, *port, std::move(launcher));  // FrmSelvane; runs FormCreate
  // WM_CLOSE, Alt+F4 and the taskbar's Close go where a click on the close
  // button goes, and are held back as it is while the worker runs.
  ui::GuardCloseRequests([&frm] { frm.CloseRequest(); });
  DM = std::make_shared<TDM>();
  return view->RunMessageLoop();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The window thread is a single-threaded COM apartment: the shell link
  // object of the desktop shortcut is created on it.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int code = 1;
  try {
    code = Run();
  } catch (const std::exception& e) {
    ShowStartError(e.what());
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}
