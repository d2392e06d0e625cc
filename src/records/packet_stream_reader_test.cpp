#include "records/packet_stream_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/code_page_1252.h"
#include "records/db_errors.h"
#include "records/packet_format.h"
#include "records/packet_test_util.h"
#include "records/record_set.h"

namespace selvane {
namespace {

using testing::PacketBuilder;

constexpr uint32_t kNameType = packet::kVarying | packet::TypeCode(packet::dsfldZSTRING, 2);
constexpr uint32_t kBlobType = packet::kVarying | packet::TypeCode(packet::dsfldBYTES, 4);
constexpr uint32_t kDateType = packet::TypeCode(packet::dsfldTIMESTAMP, 8);

// What a record set shows of a packet: every field of every visible row as
// text (blobs as their bytes), or the failure's text.
struct Shown {
  std::vector<std::string> values;
  std::string error;
  friend bool operator==(const Shown&, const Shown&) = default;
};

Shown Show(std::span<const uint8_t> packet) {
  Windows1252CodePage code_page;
  TRecordSet rs(code_page);
  Shown shown;
  try {
    rs.SetData(OleVariant::FromBytes(Bytes(packet.begin(), packet.end())));
    for (rs.First(); !rs.Eof(); rs.Next()) {
      for (int i = 0; i < rs.FieldCount(); ++i) {
        const TField& f = rs.Fields(i);
        if (f.IsNull()) {
          shown.values.push_back("<null>");
        } else if (!f.IsBlob()) {
          try {
            shown.values.push_back(f.AsString());
          } catch (const EDatabaseError&) {  // a date-time
            shown.values.push_back(std::to_string(f.AsDateTime()));
          }
        } else {
          try {
            const auto b = f.AsBytes();
            shown.values.emplace_back(b.begin(), b.end());
          } catch (const std::exception& e) {
            shown.values.push_back(std::string("error: ") + e.what());
          }
        }
      }
    }
  } catch (const std::exception& e) {
    shown.error = e.what();
  }
  return shown;
}

// The packet streamed in pieces, the column named "Content" chosen.
struct Streamed {
  std::string content;
  bool streamed = false;
  std::vector<std::string> heads;  // what each head showed: the name before the content
  Shown kept;
};

Streamed Stream(PacketStreamReader& reader, std::span<const uint8_t> packet, size_t piece) {
  Streamed s;
  reader.Start(
      [](std::span<const uint8_t> metadata) -> std::optional<size_t> {
        Windows1252CodePage code_page;
        TRecordSet rs(code_page);
        rs.SetData(OleVariant::FromBytes(Bytes(metadata.begin(), metadata.end())));
        for (int i = 0; i < rs.FieldCount(); ++i) {
          if (rs.Fields(i).FieldName() == "Content") return static_cast<size_t>(i);
        }
        return std::nullopt;
      },
      [&s](std::span<const uint8_t> head) {
        // The first visible row, where the record set's cursor stands, is the one streaming.
        Windows1252CodePage code_page;
        TRecordSet rs(code_page);
        rs.SetData(OleVariant::FromBytes(Bytes(head.begin(), head.end())));
        const TField& name = rs.FieldByName("FileName");
        s.heads.push_back(name.IsNull() ? "<null>" : name.AsString());
      },
      [&s](std::span<const uint8_t> bytes) { s.content.append(bytes.begin(), bytes.end()); });
  try {
    for (size_t at = 0; at < packet.size(); at += piece) reader.Feed(packet.subspan(at, std::min(piece, packet.size() - at)));
    s.kept = Show(reader.Finish());
  } catch (const std::exception& e) {
    s.kept.error = e.what();
  }
  s.streamed = reader.streamed();
  return s;
}

// A file record as the server writes it: FileName, Content, FileDate.
Bytes FileRecord(const std::string& content) {
  Windows1252CodePage code_page;
  TRecordSet rs(code_page);
  rs.FieldDefs().Add("FileName", ftString, 512, false);
  rs.FieldDefs().Add("Content", ftBlob, 0, false);
  rs.FieldDefs().Add("FileDate", ftDateTime, 0, false);
  rs.CreateDataSet();
  rs.Insert();
  rs.FieldByName("FileName").SetAsString("Configuração.ini");
  rs.FieldByName("Content").SetAsBytes(Bytes(content.begin(), content.end()));
  rs.FieldByName("FileDate").SetAsDateTime(45000.5);
  rs.Post();
  return rs.GetData().bytes();
}

// Hand-made records: three columns in the given order, rows of (state, name, content or absent length).
struct Row {
  uint8_t state;
  std::string name;
  std::string content;
  int32_t absent = 0;
};
Bytes HandMade(bool content_first, const std::vector<Row>& rows) {
  PacketBuilder b;
  b.Header(3, static_cast<uint32_t>(rows.size()));
  if (content_first) b.Column("Content", kBlobType, 0, 0);
  b.Column("FileName", kNameType, 0, 1).U16Param("WIDTH", 512);
  if (!content_first) b.Column("Content", kBlobType, 0, 0);
  b.Column("FileDate", kDateType, 0, 0).U16(0);
  for (const Row& r : rows) {
    b.U8(r.state).U8(0);
    auto name = [&] { b.U16(static_cast<uint16_t>(r.name.size())).Text(r.name); };
    auto content = [&] {
      if (r.absent < 0) {
        b.U32(static_cast<uint32_t>(r.absent));
      } else {
        b.U32(static_cast<uint32_t>(r.content.size())).Text(r.content);
      }
    };
    if (content_first) {
      content();
      name();
    } else {
      name();
      content();
    }
    b.U32(0).U32(0x42CD08AC);  // a time stamp
  }
  return b.bytes();
}

struct StreamCase {
  const char* what;
  Bytes packet;
  std::string content;  // what streams
  bool streamed;
  const char* head;  // the name the head shows, nullptr when none
};

std::vector<StreamCase> Cases() {
  const std::string big(200000, 'b');
  return {
      {"as the server writes it", FileRecord("zlib bytes"), "zlib bytes", true, "Configuração.ini"},
      {"a large content", FileRecord(big), big, true, "Configuração.ini"},
      {"an empty content is written as null", FileRecord(""), "", false, nullptr},
      {"a deleted row first", HandMade(false, {{2, "old", "gone"}, {4, "new", "kept"}}), "kept", true, "new"},
      {"two visible rows", HandMade(false, {{4, "one", "first"}, {4, "two", "second"}}), "first", true, "one"},
      {"content before the name", HandMade(true, {{4, "late", "body"}}), "body", true, "<null>"},
      {"content not carried", HandMade(false, {{4, "n", "", -5}}), "", false, nullptr},
  };
}

TEST(PacketStreamReader, StreamsTheContentAndKeepsEverythingElse) {
  PacketStreamReader reader;  // reused across packets
  for (const StreamCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    Shown whole = Show(c.packet);
    ASSERT_EQ(whole.error, "");
    for (const size_t piece : {size_t{1}, size_t{7}, size_t{65536}}) {
      SCOPED_TRACE(piece);
      const Streamed s = Stream(reader, c.packet, piece);
      EXPECT_EQ(s.content, c.content);
      EXPECT_EQ(s.streamed, c.streamed);
      EXPECT_EQ(s.heads, c.head ? std::vector<std::string>{c.head} : std::vector<std::string>{});
      // The kept packet shows what the whole one does, less the streamed blobs.
      Shown expected = whole;
      for (std::string& v : expected.values) {
        if (v.size() > 1000 || (c.streamed && (v == c.content || v == "gone" || v == "second"))) v = "<null>";
      }
      EXPECT_EQ(s.kept, expected);
    }
  }
}

// A packet cut anywhere fails as the cut packet read whole does.
TEST(PacketStreamReader, APacketCutAnywhereFailsAsItsReadingWhole) {
  PacketStreamReader reader;
  for (const StreamCase& c : Cases()) {
    if (c.packet.size() > 5000) continue;
    SCOPED_TRACE(c.what);
    for (size_t cut = 0; cut < c.packet.size(); ++cut) {
      SCOPED_TRACE(cut);
      const std::span<const uint8_t> cut_packet(c.packet.data(), cut);
      const Shown whole = Show(cut_packet);
      ASSERT_NE(whole.error, "");
      for (const size_t piece : {size_t{1}, size_t{5}, size_t{4096}}) {
        EXPECT_EQ(Stream(reader, cut_packet, piece).kept.error, whole.error) << piece;
      }
    }
  }
}

// Damaged metadata and rows give the texts of reading the packet whole.
TEST(PacketStreamReader, BadPacketsFailWithTheTextsOfReadingThemWhole) {
  PacketStreamReader reader;
  const Bytes good = FileRecord("body");
  std::vector<std::pair<std::string, Bytes>> bad;
  for (size_t at = 0; at < good.size(); ++at) {
    for (const uint8_t flip : {0x01, 0x40, 0xFF}) {
      Bytes b = good;
      b[at] ^= flip;
      bad.emplace_back("byte " + std::to_string(at) + " ^ " + std::to_string(flip), b);
    }
  }
  for (const auto& [what, packet] : bad) {
    SCOPED_TRACE(what);
    const Shown whole = Show(packet);
    if (whole.error.empty()) continue;  // still a packet; shown above how those stream
    EXPECT_EQ(Stream(reader, packet, 3).kept.error, whole.error);
  }
}

}  // namespace
}  // namespace selvane
