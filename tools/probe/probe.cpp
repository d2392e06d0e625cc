#include "probe.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

#include "install/container.h"
#include "install/folder_listing.h"
#include "install/file_time.h"
#include "base/dos_time.h"
#include "platform/posix_env.h"
#include "protocol/method_table.h"
#include "protocol/packet_layouts.h"
#include "records/record_set.h"
#include "server/server_connection.h"
#include "server/servidor_client.h"

namespace selvane::probe {

const char kProbeUsage[] =
    "usage: selvane-probe --host H [--port N] METHOD [ARGS]\n"
    "\n"
    "Opens a connection to the update server at H (port 5975 unless given) as the\n"
    "updater does, calls one remote method and prints the reply:\n"
    "\n"
    "  GetNumeroAtualizacao                   the update number\n"
    "  AtualizaPastaECF FOLDER                the fetch list (File, FileDate) for the listing\n"
    "  RecompoePastaECF FOLDER                of the local FOLDER (missing: an empty listing);\n"
    "  ... KVL, NFCE, SchemasNFCE, DNF        likewise for the other folder methods\n"
    "  AtualizaAtualizador FILE               the fetch list for a local updater copy FILE\n"
    "                                         (missing: an empty listing)\n"
    "  RetornaArquivo PATH NUMBER OUTFILE     the file record's FileName and FileDate; the\n"
    "                                         container is unpacked into OUTFILE\n"
    "\n"
    "Exit status 0 on success; on failure the message goes to standard error.\n";

namespace {

class UsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

std::string FormatDateTime(double value) {
  const auto t = CivilFromDateTime(value);
  if (!t) return "(invalid date-time)";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day, t->hour, t->minute,
                t->second);
  return buf;
}

// A native Env over a folder of this machine, which stands for "C:\".
std::unique_ptr<PosixEnv> FolderEnv(const std::filesystem::path& folder) {
  const std::filesystem::path abs = std::filesystem::absolute(folder);
  if (abs == abs.root_path()) throw UsageError("the folder must not be the file system root");
  return std::make_unique<PosixEnv>(abs.string());
}

OleVariant FolderListing(const std::string& folder) {
  if (!std::filesystem::is_directory(folder)) {
    auto env = FolderEnv(std::filesystem::temp_directory_path());
    return RetornaListaArquivosPasta(*env, "C:\\no such folder\\");
  }
  auto env = FolderEnv(folder);
  return RetornaListaArquivosPasta(*env, "C:\\");
}

OleVariant UpdaterListing(const std::string& file) {
  const std::filesystem::path p = std::filesystem::absolute(file);
  auto env = FolderEnv(p.parent_path());
  TRecordSet listing(*env);
  CreateListing(listing);
  if (std::filesystem::is_regular_file(p)) {
    const auto when = DataHoraArq(*env, "C:\\" + p.filename().string());
    if (!when) throw std::runtime_error("cannot read the time of " + file);
    AddListedFile(listing, "Selvane.exe", *when);
  }
  return listing.GetData();
}

void PrintFetchList(Env& env, const OleVariant& packet, std::ostream& out) {
  TRecordSet rs(env);
  rs.SetData(packet);
  out << kFetchListFile << '\t' << kFetchListFileDate << '\n';
  for (rs.First(); !rs.Eof(); rs.Next()) {
    out << rs.FieldByName(kFetchListFile).AsString() << '\t'
        << FormatDateTime(rs.FieldByName(kFetchListFileDate).AsDateTime()) << '\n';
  }
  out << "(" << rs.RecordCount() << " records)\n";
}

void FetchFile(TServidorClient& proxy, const std::string& path, int32_t number, const std::string& outfile,
               std::ostream& out) {
  const std::filesystem::path target = std::filesystem::absolute(outfile);
  auto env = FolderEnv(target.parent_path());
  TRecordSet rs(*env);
  rs.SetData(proxy.RetornaArquivo(path, number));
  const std::string name = rs.FieldByName(kFileRecordFileName).AsString();
  const double when = rs.FieldByName(kFileRecordFileDate).AsDateTime();
  out << kFileRecordFileName << '\t' << name << '\n' << kFileRecordFileDate << '\t' << FormatDateTime(when) << '\n';
  TField& content = rs.FieldByName(kFileRecordContent);
  out << kFileRecordContent << '\t' << content.AsBytes().size() << " bytes\n";

  // As the updater does: the container beside the target, unpacked, deleted.
  const std::string container = "C:\\" + target.filename().string() + ".probe.zip";
  const std::string destination = "C:\\" + target.filename().string();
  content.SaveToFile([&] { return env->Create(container, ShareMode::kExclusive); });
  try {
    Descomprimir(*env, container, destination);
  } catch (...) {
    env->DeleteFile(container);
    throw;
  }
  env->DeleteFile(container);
  out << "unpacked into " << target.string() << " (" << std::filesystem::file_size(target) << " bytes)\n";
}

int32_t Number(const std::string& what, const std::string& text) {
  int32_t v = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || p != end || text.empty()) throw UsageError(what + ": not a number: " + text);
  return v;
}

}  // namespace

int RunProbe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string host;
  std::string port = "5975";
  std::vector<std::string> rest;
  try {
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--help" || args[i] == "-h") {
        out << kProbeUsage;
        return 0;
      }
      if (args[i] == "--host" || args[i] == "--port") {
        if (i + 1 >= args.size()) throw UsageError(args[i] + " needs a value");
        (args[i] == "--host" ? host : port) = args[i + 1];
        ++i;
      } else {
        rest.push_back(args[i]);
      }
    }
    if (host.empty()) throw UsageError("--host is required");
    Number("--port", port);
    if (rest.empty()) throw UsageError("no method given");
    const std::string& method = rest[0];
    // The method's inputs, and RetornaArquivo's OUTFILE; any other name is left to the proxy to refuse.
    const RemoteMethod* remote = FindMethodByName(method);
    const MethodKind kind = remote ? remote->kind : MethodKind::kFolder;
    const size_t want = kind == MethodKind::kGetNumeroAtualizacao ? 1 : kind == MethodKind::kRetornaArquivo ? 4 : 2;
    if (rest.size() != want) throw UsageError(method + " takes " + std::to_string(want - 1) + " argument(s)");
    const int32_t number = kind == MethodKind::kRetornaArquivo ? Number("NUMBER", rest[2]) : 0;

    TServerConnection conn;
    conn.SetHostName(host);
    conn.Params.Set("Port", port);
    conn.Open();
    TServidorClient proxy(conn.DBXConnection());
    if (kind == MethodKind::kGetNumeroAtualizacao) {
      out << proxy.GetNumeroAtualizacao() << '\n';
    } else if (kind == MethodKind::kRetornaArquivo) {
      FetchFile(proxy, rest[1], number, rest[3], out);
    } else {
      const OleVariant listing =
          kind == MethodKind::kAtualizaAtualizador ? UpdaterListing(rest[1]) : FolderListing(rest[1]);
      auto env = FolderEnv(std::filesystem::temp_directory_path());
      PrintFetchList(*env, proxy.CallFolderMethod(method, listing), out);
    }
    return 0;
  } catch (const UsageError& e) {
    err << "selvane-probe: " << e.what() << "\n\n" << kProbeUsage;
    return 2;
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return 1;
  }
}

}  // namespace selvane::probe
