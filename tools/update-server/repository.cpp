#include "repository.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "base/dos_time.h"
#include "protocol/method_table.h"

namespace selvane::refserver {

namespace {

// The repository folder of each folder that the folder methods name.
struct FolderMethod {
  std::string_view method_folder;  // "SchemasNFCE"
  std::string_view folder;         // "NFCE\Schemas"
};
constexpr std::array<FolderMethod, 5> kFolderMethods{{
    {"ECF", "ECF"},
    {"KVL", "KVL"},
    {"NFCE", "NFCE"},
    {"SchemasNFCE", "NFCE\\Schemas"},
    {"DNF", "MEI"},
}};

constexpr std::string_view kUpdaterFolder = "updater";
constexpr std::string_view kUpdaterName = "Selvane.exe";
// What the server's own folder "Cliente" holds: the updater, and beside it
// whatever else the vendor put there (its signature).
constexpr std::string_view kClientFolder = "Cliente";
// Extra entries carry a fixed, valid time: 2020-01-01 00:00:00.
constexpr DosDateTime kExtraEntryTime{static_cast<uint16_t>((40 << 9) | (1 << 5) | 1), 0};

// Lower-cases ASCII letters and the Latin-1 capitals (U+00C0 to U+00DE but U+00D7).
std::string Fold(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    } else if (c == 0xC3 && i + 1 < out.size()) {
      unsigned char n = static_cast<unsigned char>(out[i + 1]);
      if (n >= 0x80 && n <= 0x9E && n != 0x97) out[i + 1] = static_cast<char>(n + 32);
      ++i;
    }
  }
  return out;
}

bool StartsWithName(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameFileName(s.substr(0, prefix.size()), prefix);
}

std::string EnvPath(std::string_view folder, std::string_view name) {
  std::string p = "C:\\";
  p += folder;
  p += '\\';
  p += name;
  return p;
}

// File times compare in whole milliseconds: both sides come from two-second
// times, but one of them went through a packet's millisecond double.
bool SameTime(double a, double b) { return std::llround(a * 86400000.0) == std::llround(b * 86400000.0); }

const ListedFile* FindListed(const std::vector<ListedFile>& listing, std::string_view name) {
  for (const ListedFile& f : listing) {
    if (SameFileName(f.name, name)) return &f;
  }
  return nullptr;
}

}  // namespace

bool SameFileName(std::string_view a, std::string_view b) { return Fold(a) == Fold(b); }

Repository::Repository(Env& env, RepositoryOptions options) : env_(env), options_(std::move(options)) {}

std::optional<std::string_view> Repository::FolderOf(std::string_view method) {
  const RemoteMethod* remote = method.starts_with(kServidorClass) ? FindMethodByText(method) : FindMethodByName(method);
  if (remote == nullptr || remote->kind != MethodKind::kFolder) return std::nullopt;
  for (const FolderMethod& m : kFolderMethods) {
    if (m.method_folder == remote->folder) return m.folder;
  }
  return std::nullopt;
}

std::string Repository::FileValue(std::string_view folder, std::string_view name) const {
  std::string v = options_.full_paths ? std::string(kServerRoot) : std::string();
  v += folder;
  v += '\\';
  v += name;
  return v;
}

std::shared_ptr<const Repository::Names> Repository::NamesOf(std::string_view folder, bool fresh) {
  if (!fresh) {
    std::lock_guard lock(names_mu_);
    const auto it = names_.find(folder);
    if (it != names_.end()) return it->second;
  }
  ListFolder(folder);
  std::lock_guard lock(names_mu_);
  return names_.find(folder)->second;
}

std::vector<Repository::Entry> Repository::ListFolder(std::string_view folder) {
  std::vector<Entry> out;
  for (const DirEntry& e : env_.FindFiles(EnvPath(folder, "*.*"))) {
    if (!IsListedFile(e.attributes)) continue;
    // A file that vanished or carries no representable time is not served.
    if (auto dos = env_.GetLastWriteDos(EnvPath(folder, e.name))) out.push_back({e.name, *dos});
  }
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  auto names = std::make_shared<Names>();
  for (const Entry& e : out) names->emplace(Fold(e.name), e.name);
  std::lock_guard lock(names_mu_);
  names_[std::string(folder)] = std::move(names);
  return out;
}

std::vector<ResolvedFile> Repository::AllFiles() {
  std::vector<ResolvedFile> out;
  auto add = [&](std::string_view folder) {
    for (const Entry& e : ListFolder(folder)) {
      out.push_back({EnvPath(folder, e.name), std::string(folder), e.name, DateTimeFromDosDateTime(e.dos), ""});
    }
  };
  for (const FolderMethod& m : kFolderMethods) add(m.folder);
  add(kUpdaterFolder);
  return out;
}

std::vector<FetchEntry> Repository::FetchList(std::string_view folder, const std::vector<ListedFile>& listing) {
  // The client's names by their folded form, so that a folder of thousands is
  // compared in one pass; the first of equal names counts, as a scan would find it.
  std::unordered_map<std::string, const ListedFile*> listed;
  listed.reserve(listing.size());
  for (const ListedFile& f : listing) listed.emplace(Fold(f.name), &f);
  std::vector<FetchEntry> out;
  for (const Entry& e : ListFolder(folder)) {
    const double when = DateTimeFromDosDateTime(e.dos);
    const auto found = listed.find(Fold(e.name));
    const ListedFile* have = found == listed.end() ? nullptr : found->second;
    if (have && SameTime(have->date_time, when)) continue;
    out.push_back({FileValue(folder, e.name), when});
  }
  for (const std::string& extra : options_.extra_entries) out.push_back({extra, DateTimeFromDosDateTime(kExtraEntryTime)});
  return out;
}

std::vector<FetchEntry> Repository::UpdaterFetchList(const std::vector<ListedFile>& listing) {
  const auto dos = env_.GetLastWriteDos(EnvPath(kUpdaterFolder, kUpdaterName));
  if (!dos) return {};
  const double when = DateTimeFromDosDateTime(*dos);
  const ListedFile* have = FindListed(listing, kUpdaterName);
  if (have && SameTime(have->date_time, when)) return {};
  return {{std::string(kServerUpdaterPath), when}};
}

ResolvedFile Repository::Resolve(std::string_view file) {
  for (const std::string& extra : options_.extra_entries) {
    if (extra == file) {
      const size_t cut = file.find_last_of("\\:");
      const std::string name(cut == file.npos ? file : file.substr(cut + 1));
      return {"", "", name, DateTimeFromDosDateTime(kExtraEntryTime), name + ".zip"};
    }
  }
  const UnknownFileError unknown("Arquivo não encontrado no servidor: " + std::string(file));
  std::string_view rest = file;
  if (StartsWithName(rest, kServerRoot)) rest.remove_prefix(kServerRoot.size());
  const size_t cut = rest.rfind('\\');
  if (cut == rest.npos) throw unknown;
  const std::string_view folder = rest.substr(0, cut);
  const std::string_view name = rest.substr(cut + 1);

  std::string_view served;
  if (SameFileName(folder, kClientFolder)) {
    served = kUpdaterFolder;
  } else {
    for (const FolderMethod& m : kFolderMethods) {
      if (SameFileName(folder, m.folder)) served = m.folder;
    }
  }
  if (served.empty()) throw unknown;
  // Only names the folder listing holds are served: the client's text never
  // becomes a path, so nothing outside the repository can be reached.
  for (const bool fresh : {false, true}) {
    const std::shared_ptr<const Names> names = NamesOf(served, fresh);
    const auto found = names->find(Fold(name));
    if (found == names->end()) continue;
    const std::string& stored = found->second;
    const auto dos = env_.GetLastWriteDos(EnvPath(served, stored));
    if (!dos) continue;
    std::string container = stored + ".zip";
    while (names->count(Fold(container)) != 0) container.insert(0, "~");
    return {EnvPath(served, stored), std::string(served), stored, DateTimeFromDosDateTime(*dos), container};
  }
  throw unknown;
}

}  // namespace selvane::refserver
