#pragma once
// The client against the reference update server on a free loopback port: a
// temporary repository, the server in this process, and the connection
// component opened exactly as the updater opens it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/dos_time.h"
#include "protocol/container_reader.h"
#include "protocol/packet_layouts.h"
#include "records/record_set.h"
#include "server/server_connection.h"
#include "server/servidor_client.h"
#include "testing/memory_file.h"
#include "update-server/test_repository.h"
#include "update-server/update_server.h"

namespace selvane {

// One row of a fetch list or a folder listing as the tests compare them.
struct NameAndTime {
  std::string name;
  double date_time;
  friend bool operator==(const NameAndTime&, const NameAndTime&) = default;
};

class LoopbackTest : public ::testing::Test {
 protected:
  ~LoopbackTest() override {
    conn_.reset();
    if (server_) server_->Stop();
  }

  void StartServer() {
    options_.root = repo_.dir();
    options_.port = 0;
    server_ = std::make_unique<refserver::UpdateServer>(options_);
    server_->Start();
  }

  // A fresh connection component with the server's host and port.
  std::unique_ptr<TServerConnection> NewConnection() {
    auto c = std::make_unique<TServerConnection>();
    c->SetHostName("127.0.0.1");
    c->Params.Set("Port", std::to_string(server_->port()));
    return c;
  }

  TServerConnection& Open() {
    conn_ = NewConnection();
    conn_->Open();
    return *conn_;
  }

  OleVariant Listing(const std::vector<NameAndTime>& files) {
    TRecordSet rs(repo_.env());
    CreateListing(rs);
    for (const NameAndTime& f : files) AddListedFile(rs, f.name, f.date_time);
    return rs.GetData();
  }

  std::vector<NameAndTime> FetchList(const OleVariant& packet) {
    TRecordSet rs(repo_.env());
    rs.SetData(packet);
    std::vector<NameAndTime> out;
    for (rs.First(); !rs.Eof(); rs.Next()) {
      out.push_back({rs.FieldByName(kFetchListFile).AsString(), rs.FieldByName(kFetchListFileDate).AsDateTime()});
    }
    return out;
  }

  struct FileRecord {
    std::string file_name;
    std::string content;  // unpacked
    double date_time;
  };
  FileRecord Unpack(const OleVariant& packet) {
    TRecordSet rs(repo_.env());
    rs.SetData(packet);
    EXPECT_EQ(rs.RecordCount(), 1);
    FileRecord r{rs.FieldByName(kFileRecordFileName).AsString(), "", rs.FieldByName(kFileRecordFileDate).AsDateTime()};
    const auto zipped = rs.FieldByName(kFileRecordContent).AsBytes();
    ReadContainer(zipped, [&r] { return std::make_unique<MemorySink>(&r.content); });
    return r;
  }

  refserver::TestRepository repo_;
  refserver::ServerOptions options_;
  std::unique_ptr<refserver::UpdateServer> server_;
  std::unique_ptr<TServerConnection> conn_;

};

}  // namespace selvane
