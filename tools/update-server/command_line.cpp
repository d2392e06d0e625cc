#include "command_line.h"

#include <charconv>
#include <stdexcept>
#include <utility>

namespace selvane::refserver {

const char kUsage[] =
    "usage: selvane-update-server --root DIR [--port N] [--update-number N] [options]\n"
    "\n"
    "Serves the update repository DIR on 127.0.0.1:\n"
    "  DIR/ECF, DIR/KVL, DIR/NFCE, DIR/NFCE/Schemas, DIR/MEI   the folder methods' files\n"
    "  DIR/updater/Selvane.exe                                 the current updater\n"
    "  DIR/updater/*                                           beside it (its signature), as Cliente\\*\n"
    "\n"
    "  --root DIR            repository folder (required)\n"
    "  --port N              TCP port, default 5975; 0 picks a free one (printed at start)\n"
    "  --update-number N     GetNumeroAtualizacao's answer, default 1\n"
    "  --part-size N         bytes per part of a result sent in parts, default 1000000\n"
    "  --blob-header         send large results with a blob header instead of an inline first part\n"
    "  --cache-dir DIR       keep the files' containers in DIR, so that a restart does not compress\n"
    "                        them again (default: in memory)\n"
    "  --empty-last-part     end results sent in parts with an empty last part\n"
    "  --log-times           begin each log line with the seconds of the server's steady clock\n"
    "                        (a steady clock; WHAT is the request, for execute its method)\n"
    "\n"
    "Test options:\n"
    "  --full-paths          hand out File values as server paths\n"
    "                        (\"C:\\Kavel\\Servidor Atualizacao\\ECF\\name\")\n"
    "  --extra-entry NAME    add NAME verbatim to every folder fetch list and serve a small\n"
    "                        file for it (repeatable; for hostile names such as ..\\evil.exe)\n"
    "  --same-name-container the file record's FileName is the target's own name\n"
    "  --truncate-container  send containers cut to half their length\n"
    "  --cut-container N     send only the first N bytes of every container\n"
    "  --drop-after-bytes N  close the connection after N bytes of a RetornaArquivo reply\n"
    "  --drop-in-file N      with --drop-after-bytes: cut only the Nth RetornaArquivo reply\n"
    "                        of the server's run (1 = the first), the others go whole\n"
    "  --file-name-for NAME=FILENAME\n"
    "                        the file record of the repository file NAME gives FILENAME as\n"
    "                        its FileName (repeatable; for other spellings of the target)\n"
    "  --empty-container NAME\n"
    "                        the container of the repository file NAME holds no entry\n"
    "                        (repeatable)\n"
    "  --cut-after-bytes N   close each connection after N bytes of its session, received\n"
    "                        and sent counted together in their order\n"
    "  --silent-at PHASE     stop answering (connection kept open) at PHASE: handshake,\n"
    "                        connect, metadata, prepare, execute (the first of each), or\n"
    "                        part (64 bytes into the first file's reply)\n"
    "  --help                this text\n";

std::optional<SilentPhase> SilentPhaseNamed(std::string_view name) {
  static constexpr std::pair<std::string_view, SilentPhase> kNames[] = {
      {"handshake", SilentPhase::kHandshake}, {"connect", SilentPhase::kConnect},
      {"metadata", SilentPhase::kMetadata},   {"prepare", SilentPhase::kPrepare},
      {"execute", SilentPhase::kExecute},     {"part", SilentPhase::kPart},
  };
  for (const auto& [n, phase] : kNames) {
    if (n == name) return phase;
  }
  return std::nullopt;
}

namespace {

template <typename T>
T Number(const std::string& option, const std::string& text) {
  T value{};
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || p != end) throw std::invalid_argument(option + ": not a number: " + text);
  return value;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  ServerOptions& o = cl.options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      cl.help = true;
    } else if (a == "--root") {
      o.root = value();
    } else if (a == "--port") {
      o.port = Number<uint16_t>(a, value());
    } else if (a == "--update-number") {
      o.NumeroAtualizacao = Number<int32_t>(a, value());
    } else if (a == "--part-size") {
      o.part_size = Number<uint32_t>(a, value());
      if (o.part_size == 0) throw std::invalid_argument("--part-size must be above 0");
    } else if (a == "--blob-header") {
      o.blob_header = true;
    } else if (a == "--cache-dir") {
      o.cache_dir = value();
    } else if (a == "--empty-last-part") {
      o.empty_last_part = true;
    } else if (a == "--log-times") {
      o.log_times = true;
    } else if (a == "--cut-container") {
      o.cut_container_at = Number<int64_t>(a, value());
    } else if (a == "--full-paths") {
      o.repository.full_paths = true;
    } else if (a == "--extra-entry") {
      o.repository.extra_entries.push_back(value());
    } else if (a == "--same-name-container") {
      o.same_name_container = true;
    } else if (a == "--truncate-container") {
      o.truncate_container = true;
    } else if (a == "--drop-after-bytes") {
      o.drop_after_bytes = Number<int64_t>(a, value());
    } else if (a == "--drop-in-file") {
      o.drop_in_file = Number<int64_t>(a, value());
      if (o.drop_in_file <= 0) throw std::invalid_argument("--drop-in-file counts from 1");
    } else if (a == "--file-name-for") {
      const std::string& pair = value();
      const size_t eq = pair.find('=');
      if (eq == 0 || eq == std::string::npos || eq + 1 == pair.size()) {
        throw std::invalid_argument("--file-name-for: not NAME=FILENAME: " + pair);
      }
      o.file_name_for[pair.substr(0, eq)] = pair.substr(eq + 1);
    } else if (a == "--empty-container") {
      o.empty_container.insert(value());
    } else if (a == "--cut-after-bytes") {
      o.cut_after_bytes = Number<int64_t>(a, value());
    } else if (a == "--silent-at") {
      const std::string& name = value();
      const std::optional<SilentPhase> phase = SilentPhaseNamed(name);
      if (!phase) throw std::invalid_argument("--silent-at: unknown phase: " + name);
      o.silent_at = *phase;
    } else {
      throw std::invalid_argument("unknown option: " + a);
    }
  }
  if (!cl.help && o.root.empty()) throw std::invalid_argument("--root is required");
  return cl;
}

}  // namespace selvane::refserver
