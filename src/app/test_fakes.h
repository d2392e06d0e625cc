#pragma once
// Stand-ins shared by the app tests: a window that records what is done to it
// and queues posted messages until ProcessMessages, and a small in-memory Env
// holding just the folders, files, attributes, registry and links the window
// controller touches.

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/main_view.h"
#include "platform/env.h"

namespace selvane::testing {

class RecordingView : public MainView {
 public:
  // What the window shows; starts as the window is created.
  std::string status = "Aguardando...";
  std::string title;
  bool choice_visible = false;
  bool choice_ever_shown = false;
  bool animation = false;
  bool close_enabled = true;
  bool terminated = false;
  std::vector<std::string> statuses;  // every status text, in order
  std::vector<std::string> errors;    // message boxes
  int process_passes = 0;
  // Runs at the start of every ProcessMessages pass (the pass number is given),
  // so a test can act as a worker while the window waits.
  std::function<void(int)> on_pass;
  MainViewEvents events;

  void SetStatusText(const std::string& text) override {
    status = text;
    statuses.push_back(text);
  }
  void SetTitleText(const std::string& text) override { title = text; }
  std::string TitleText() const override { return title; }
  void SetChoicePanelVisible(bool visible) override {
    choice_visible = visible;
    choice_ever_shown |= visible;
  }
  void SetAnimation(bool running) override { animation = running; }
  void SetClosePanelEnabled(bool enabled) override { close_enabled = enabled; }
  void ShowErrorMessage(const std::string& text) override { errors.push_back(text); }

  void Post(UiMessage msg) override {
    std::lock_guard lock(mu_);
    queue_.push_back(std::move(msg));
  }
  void SetMessageHandler(std::function<void(const UiMessage&)> handler) override { handler_ = std::move(handler); }
  void SetEvents(MainViewEvents e) override { events = std::move(e); }

  bool ProcessMessages() override {
    ++process_passes;
    if (on_pass) on_pass(process_passes);
    DispatchPending();
    return !terminated;
  }
  int RunMessageLoop() override {
    while (ProcessMessages()) {
    }
    return 0;
  }
  void Terminate() override { terminated = true; }

  void DispatchPending() {
    while (true) {
      std::optional<UiMessage> msg;
      {
        std::lock_guard lock(mu_);
        if (queue_.empty()) return;
        msg = std::move(queue_.front());
        queue_.pop_front();
      }
      if (handler_) handler_(*msg);
    }
  }
  size_t pending() {
    std::lock_guard lock(mu_);
    return queue_.size();
  }
  bool has_handler() const { return static_cast<bool>(handler_); }

 private:
  std::mutex mu_;
  std::deque<UiMessage> queue_;
  std::function<void(const UiMessage&)> handler_;
};

struct SavedLink {
  std::string path, target, arguments, working_dir;
};

class MemoryEnv : public Env {
 public:
  std::string exe_path = "C:\\Users\\ana\\Downloads\\Selvane.exe";
  std::set<std::string> files;
  std::map<std::string, uint32_t> dirs;  // folder (no trailing backslash) -> attributes
  std::map<std::string, std::string> registry;  // "key|value" -> text
  std::vector<SavedLink> links;
  std::vector<std::string> deleted;
  std::string shell_link_failure;  // when set, creating the link object throws this
  int sleeps = 0;

  void AddFile(const std::string& path) { files.insert(path); }
  void AddDir(const std::string& path, uint32_t attributes = kAttrDirectory) { dirs[path] = attributes; }

  bool FileExists(const std::string& path) override { return files.count(path) != 0; }
  bool DirectoryExists(const std::string& path) override { return dirs.count(Strip(path)) != 0; }
  bool CreateDirectory(const std::string& path) override {
    return dirs.emplace(Strip(path), kAttrDirectory).second;
  }
  std::optional<uint32_t> GetAttributes(const std::string& path) override {
    auto it = dirs.find(Strip(path));
    if (it != dirs.end()) return it->second;
    if (files.count(path)) return kAttrArchive;
    return std::nullopt;
  }
  bool SetAttributes(const std::string& path, uint32_t attributes) override {
    auto it = dirs.find(Strip(path));
    if (it == dirs.end()) return false;
    it->second = attributes;
    return true;
  }
  bool DeleteFile(const std::string& path) override {
    deleted.push_back(path);
    return files.erase(path) != 0;
  }
  std::string ExecutablePath() override { return exe_path; }
  void SaveShellLink(const std::string& link_path, const std::string& target, const std::string& arguments,
                     const std::string& working_dir) override {
    if (!shell_link_failure.empty()) throw std::runtime_error(shell_link_failure);
    for (auto& l : links) {
      if (l.path == link_path) {
        l = {link_path, target, arguments, working_dir};
        return;
      }
    }
    links.push_back({link_path, target, arguments, working_dir});
  }
  std::optional<std::string> ReadCurrentUserString(const std::string& key, const std::string& value) override {
    auto it = registry.find(key + "|" + value);
    if (it == registry.end()) return std::nullopt;
    return it->second;
  }
  void SleepMs(uint32_t) override { ++sleeps; }

  // Not used by the window controller.
  std::vector<DirEntry> FindFiles(const std::string&) override { Unused(); }
  std::unique_ptr<ReadableFile> OpenRead(const std::string&, ShareMode) override { Unused(); }
  std::unique_ptr<WritableFile> Create(const std::string&, ShareMode) override { Unused(); }
  bool CopyFile(const std::string&, const std::string&, bool) override { Unused(); }
  bool MoveFileReplace(const std::string&, const std::string&) override { Unused(); }
  std::optional<DosDateTime> GetLastWriteDos(const std::string&) override { Unused(); }
  bool SetLastWriteDos(const std::string&, DosDateTime) override { Unused(); }
  std::string GetProfileString(const std::string&, const std::string&, const std::string&,
                               const std::string&) override {
    Unused();
  }
  bool WriteProfileString(const std::string&, const std::string&, const std::string&, const std::string&) override {
    Unused();
  }
  std::vector<ProcessInfo> SnapshotProcesses() override { Unused(); }
  bool TerminateProcess(uint32_t, uint32_t) override { Unused(); }
  bool RunHidden(const std::string&) override { Unused(); }
  bool AddFontResource(const std::string&) override { Unused(); }
  void BroadcastFontChange() override { Unused(); }
  std::string ToAnsi(std::string_view) override { Unused(); }
  std::string FromAnsi(std::string_view) override { Unused(); }
  void StartThread(std::function<void()>, ThreadPriority) override { Unused(); }

 private:
  static std::string Strip(std::string path) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
  }
  [[noreturn]] static void Unused() { throw std::logic_error("MemoryEnv: not used by the window controller"); }
};

}  // namespace selvane::testing
