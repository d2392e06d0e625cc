// Drives the real Selvane.exe under Wine: prepares the folders a machine would
// have, starts the program from them, finds its window and elements by class
// and control ID, reads what they show and clicks the edition tiles.
// Selvane.exe is expected beside this program.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "ui/element_ids.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kKavel = L"C:\\Kavel";
const fs::path kDownloads = L"C:\\users\\Public\\Downloads\\selvane-test";

fs::path Here() {
  wchar_t buf[MAX_PATH];
  GetModuleFileNameW(nullptr, buf, MAX_PATH);
  return fs::path(buf).parent_path();
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return done();
}

struct FindById {
  int id;
  HWND found = nullptr;
};

BOOL CALLBACK MatchId(HWND hwnd, LPARAM lp) {
  auto* f = reinterpret_cast<FindById*>(lp);
  if (GetDlgCtrlID(hwnd) == f->id) {
    f->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

struct FindMain {
  DWORD pid;
  HWND found = nullptr;
};

BOOL CALLBACK MatchMain(HWND hwnd, LPARAM lp) {
  auto* f = reinterpret_cast<FindMain*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (pid == f->pid && std::wstring(cls) == selvane::ui::kMainWindowClass) {
    f->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// One run of Selvane.exe, ended when the test is done with it.
class RunningSelvane {
 public:
  explicit RunningSelvane(const fs::path& exe) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    std::wstring cmd = L"\"" + exe.wstring() + L"\"";
    const std::wstring dir = exe.parent_path().wstring();
    started_ = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi_);
  }
  ~RunningSelvane() {
    if (!started_) return;
    TerminateProcess(pi_.hProcess, 0);
    WaitForSingleObject(pi_.hProcess, 10000);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  bool started() const { return started_; }

  HWND Window() {
    if (main_ == nullptr) {
      WaitFor(
          [this] {
            FindMain f{pi_.dwProcessId};
            EnumWindows(MatchMain, reinterpret_cast<LPARAM>(&f));
            main_ = f.found;
            return main_ != nullptr;
          },
          60s);
    }
    return main_;
  }

  HWND Element(int id) {
    FindById f{id};
    if (Window() != nullptr) EnumChildWindows(main_, MatchId, reinterpret_cast<LPARAM>(&f));
    return f.found;
  }

  std::wstring Text(int id) {
    HWND h = Element(id);
    if (h == nullptr) return L"<missing>";
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return L"<hung>";
    std::wstring text(len + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &got);
    text.resize(got);
    return text;
  }

  bool Enabled(int id) {
    HWND h = Element(id);
    return h != nullptr && IsWindowEnabled(h);
  }

  bool Ended(std::chrono::milliseconds limit) {
    return WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
  }

  bool Visible(int id) {
    HWND h = Element(id);
    return h != nullptr && IsWindowVisible(h);
  }

  // A left click in the middle of the element, as the mouse would deliver it.
  void Click(int id) {
    HWND h = Element(id);
    ASSERT_NE(h, nullptr);
    RECT r;
    GetClientRect(h, &r);
    const LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
    PostMessageW(h, WM_MOUSEMOVE, 0, at);
    PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(h, WM_LBUTTONUP, 0, at);
  }

 private:
  bool started_ = false;
  PROCESS_INFORMATION pi_ = {};
  HWND main_ = nullptr;
};

class SelvaneWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code ec;
    fs::remove_all(kKavel, ec);
    fs::remove_all(kDownloads, ec);
    ASSERT_TRUE(fs::exists(Here() / L"Selvane.exe")) << "Selvane.exe is expected beside the test program";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(kKavel, ec);
    fs::remove_all(kDownloads, ec);
  }

  // Places a copy of Selvane.exe in folder and returns its path.
  static fs::path Place(const fs::path& folder) {
    fs::create_directories(folder);
    fs::copy_file(Here() / L"Selvane.exe", folder / L"Selvane.exe", fs::copy_options::overwrite_existing);
    return folder / L"Selvane.exe";
  }
  static void Touch(const fs::path& file) { std::ofstream(file) << "MZ"; }
};

using selvane::ui::kIdKavelPanel2;
using selvane::ui::kIdLabel1;
using selvane::ui::kIdLabel3;
using selvane::ui::kIdPanel1;
using selvane::ui::kIdPanel3;

TEST_F(SelvaneWindowTest, FromTheMeiFolderRunsTheMeiUpdateAtOnce) {
  Touch(Place(kKavel / L"MEI").parent_path() / L"VendraMEI.exe");
  RunningSelvane app(kKavel / L"MEI" / L"Selvane.exe");
  ASSERT_TRUE(app.started());
  ASSERT_NE(app.Window(), nullptr);
  bool choice_seen = false;
  EXPECT_TRUE(WaitFor(
      [&] {
        choice_seen |= app.Visible(kIdPanel1);
        return app.Text(kIdLabel3) == L"Atualização Kavel Vendra-MEI";
      },
      20s))
      << "title: " << testing::PrintToString(app.Text(kIdLabel3));
  // Nothing asks for an edition afterwards either.
  WaitFor(
      [&] {
        choice_seen |= app.Visible(kIdPanel1);
        return false;
      },
      1s);
  EXPECT_FALSE(choice_seen);
  // An update creates no edition folder of its own beyond what was there.
  EXPECT_FALSE(fs::exists(kKavel / L"NFCE"));
}

TEST_F(SelvaneWindowTest, FromADownloadFolderOffersTheChoiceAndWaits) {
  RunningSelvane app(Place(kDownloads));
  ASSERT_TRUE(app.started());
  ASSERT_NE(app.Window(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return app.Visible(kIdPanel1); }, 20s));
  // Until a tile is clicked nothing else happens.
  std::this_thread::sleep_for(1500ms);
  EXPECT_TRUE(app.Visible(kIdPanel1));
  EXPECT_EQ(app.Text(kIdLabel1), L"Aguardando...");
  EXPECT_EQ(app.Text(kIdLabel3), L"");
  EXPECT_TRUE(fs::is_directory(kKavel));
  EXPECT_FALSE(fs::exists(kKavel / L"ECF"));
  EXPECT_FALSE(fs::exists(kKavel / L"NFCE"));
  EXPECT_FALSE(fs::exists(kKavel / L"MEI"));
}

// No update server answers in the test, so the worker ends on the connection
// failure; the close button is locked while it runs and usable afterwards.
TEST_F(SelvaneWindowTest, ClickOnNfceStartsTheNfceInstallation) {
  RunningSelvane app(Place(kDownloads));
  ASSERT_TRUE(app.started());
  ASSERT_TRUE(WaitFor([&] { return app.Visible(kIdPanel1); }, 20s));
  app.Click(kIdPanel3);
  EXPECT_TRUE(WaitFor([&] { return app.Text(kIdLabel3) == L"Instalação Kavel Vendra-NFCe"; }, 10s))
      << "title: " << testing::PrintToString(app.Text(kIdLabel3));
  EXPECT_FALSE(app.Visible(kIdPanel1));
  EXPECT_TRUE(fs::is_directory(kKavel / L"NFCE"));
  EXPECT_TRUE(fs::is_directory(kKavel / L"NFCE" / L"Schemas"));
  EXPECT_FALSE(fs::exists(kKavel / L"ECF"));
  EXPECT_FALSE(fs::exists(kKavel / L"MEI"));

  EXPECT_TRUE(WaitFor([&] { return app.Text(kIdLabel1) == L"Conectando com os Nossos Servidores..."; }, 10s))
      << "status: " << testing::PrintToString(app.Text(kIdLabel1));
  EXPECT_FALSE(app.Enabled(kIdKavelPanel2));
  EXPECT_TRUE(WaitFor([&] { return app.Text(kIdLabel1) == L"Não Foi Possível Conectar..."; }, 30s))
      << "status: " << testing::PrintToString(app.Text(kIdLabel1));
  EXPECT_TRUE(WaitFor([&] { return app.Enabled(kIdKavelPanel2); }, 5s));
  EXPECT_EQ(app.Text(kIdLabel3), L"Instalação Kavel Vendra-NFCe");

  // The close button, now usable, ends the program.
  app.Click(kIdKavelPanel2);
  EXPECT_TRUE(app.Ended(10s));
}

}  // namespace
