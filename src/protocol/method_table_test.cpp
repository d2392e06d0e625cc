#include "protocol/method_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace selvane {
namespace {

TEST(MethodTable, EveryMethodIsFoundByItsTextAndByItsName) {
  std::set<std::string_view> texts;
  for (const RemoteMethod& m : ServidorMethods()) {
    SCOPED_TRACE(m.text);
    EXPECT_EQ(std::string(kServidorClass) + std::string(m.Name()), m.text);
    EXPECT_EQ(FindMethodByText(m.text), &m);
    EXPECT_EQ(FindMethodByName(m.Name()), &m);
    EXPECT_EQ(&ServidorMethodOf(m.id), &m);
    texts.insert(m.text);
  }
  EXPECT_EQ(texts.size(), size_t{kServidorMethodCount});
  for (std::string_view other : {"", "TServidor.", "RetornaArquivo ", "TServidor.retornaarquivo",
                                 "TAdmin.RetornaArquivo", "AtualizaPastaMEI", "TServidor.AtualizaPastaECFX"}) {
    EXPECT_EQ(FindMethodByText(other), nullptr) << other;
    EXPECT_EQ(FindMethodByName(other), nullptr) << other;
  }
  // A name is not a text, nor the other way round.
  EXPECT_EQ(FindMethodByText("RetornaArquivo"), nullptr);
  EXPECT_EQ(FindMethodByName("TServidor.RetornaArquivo"), nullptr);
}

TEST(MethodTable, ParametersByKindWithTheResultLast) {
  struct Shape {
    MethodKind kind;
    std::vector<std::pair<std::string_view, ValueKind>> inputs;
    ValueKind result;
  };
  const Shape shapes[] = {
      {MethodKind::kGetNumeroAtualizacao, {}, ValueKind::kInt32},
      {MethodKind::kRetornaArquivo, {{"arquivo", ValueKind::kWideString}, {"NumeroAtualizacao", ValueKind::kInt32}},
       ValueKind::kPacket},
      {MethodKind::kFolder, {{"CDSCliente", ValueKind::kPacket}}, ValueKind::kPacket},
      {MethodKind::kAtualizaAtualizador, {{"CDSCliente", ValueKind::kPacket}}, ValueKind::kPacket},
  };
  for (const RemoteMethod& m : ServidorMethods()) {
    SCOPED_TRACE(m.text);
    const Shape& shape = shapes[static_cast<size_t>(m.kind)];
    ASSERT_EQ(shape.kind, m.kind);
    ASSERT_EQ(m.parameters.size(), shape.inputs.size() + 1);
    EXPECT_EQ(m.ResultOrdinal(), shape.inputs.size());
    for (size_t i = 0; i < shape.inputs.size(); ++i) {
      EXPECT_EQ(m.parameters[i].name, shape.inputs[i].first);
      EXPECT_EQ(m.parameters[i].value, shape.inputs[i].second);
      EXPECT_FALSE(m.parameters[i].is_return);
    }
    const MethodParameter& result = m.parameters.back();
    EXPECT_EQ(result.name, "ReturnParameter");
    EXPECT_EQ(result.value, shape.result);
    EXPECT_TRUE(result.is_return);
    for (const MethodParameter& p : m.parameters) EXPECT_EQ(p.size, p.value == ValueKind::kInt32 ? 4 : 0) << p.name;
  }
}

TEST(MethodTable, EachFolderHasAnAtualizaAndARecompoeMethod) {
  std::set<std::string> names;
  for (const RemoteMethod& m : ServidorMethods()) {
    EXPECT_EQ(m.kind == MethodKind::kFolder, !m.folder.empty()) << m.text;
    if (m.kind == MethodKind::kFolder) names.insert(std::string(m.Name()));
  }
  std::set<std::string> expected;
  for (const char* folder : {"ECF", "KVL", "NFCE", "SchemasNFCE", "DNF"}) {
    expected.insert(std::string("AtualizaPasta") + folder);
    expected.insert(std::string("RecompoePasta") + folder);
    EXPECT_EQ(FindMethodByName(std::string("AtualizaPasta") + folder)->folder, folder);
    EXPECT_EQ(FindMethodByName(std::string("RecompoePasta") + folder)->folder, folder);
  }
  EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace selvane
