#pragma once
// The server's capabilities, read from the one-row table of the metadata
// query that every opening runs. Nothing in the updater's logic uses them.

#include <cstdint>
#include <optional>
#include <string>

namespace selvane {

struct TRpcDatabaseMetaData {
  std::string QuoteChar;
  std::string ProcedureQuoteChar;
  int32_t MaxCommands = 0;
  bool SupportsTransactions = false;
  bool SupportsNestedTransactions = false;
  bool SupportsRowSetSize = false;
  // Rows of more than 9 columns (version "4.0") add these.
  std::optional<std::string> QuotePrefix;
  std::optional<std::string> QuoteSuffix;
  std::optional<bool> SupportsLowerCaseIdentifiers;
  std::optional<bool> SupportsUpperCaseIdentifiers;
  std::optional<bool> SupportsSPReturnCode;
  std::optional<bool> SupportsParameterMetadata;
  std::optional<bool> SupportsCatalogFunctions;
  std::optional<bool> SupportsCatalogs;
  std::optional<bool> SupportsSchemas;
  std::string meta_data_version = "3.0";
};

}  // namespace selvane
