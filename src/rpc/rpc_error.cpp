#include "rpc/rpc_error.h"

#include <array>
#include <utility>

namespace selvane {

namespace {

constexpr std::array<std::pair<int32_t, const char*>, 38> kCodeTexts{{
    {0, "None"},
    {1, "Warning"},
    {2, "Insufficient memory to complete the operation"},
    {3, "Unsupported field type"},
    {4, "Unexpected internal error. RPC object such as a connection, command, or reader may already be closed."},
    {5, "Not supported"},
    {6, "Invalid time"},
    {7, "Invalid type"},
    {8, "Invalid ordinal"},
    {9, "Invalid parameter"},
    {10, "No more rows"},
    {11, "Parameter not set"},
    {12, "Invalid username or password"},
    {13, "Invalid precision"},
    {14, "Invalid length"},
    {15, "Invalid isolation level"},
    {16, "Invalid transaction id"},
    {17, "Duplicate transaction id"},
    {18, "Driver restricted"},
    {19, "Transaction active"},
    {20, "Multiple transaction not enabled"},
    {21, "Connection failed"},
    {22, "Driver could not be properly initialized.  Client library may be missing, not installed properly, of "
         "the wrong version, or the driver may be missing from the system path."},
    {23, "Optimistic lock failed"},
    {24, "Invalid reference"},
    {25, "No table"},
    {26, "Missing parameter marker"},
    {27, "Not implemented"},
    {28, "Driver incompatible"},
    {29, "Invalid argument"},
    {31, "Unrecognized command type."},
    {33, "Schema or user name separated by a '.' must be specified."},
    {34, "Database must be specified."},
    {35, "LibraryName must be specified."},
    {36, "GetDriverFunc must be specified."},
    {37, "VendorLib must be specified"},
    {100, "No data"},
    {101, "Vendor error"},
}};

}  // namespace

std::string RpcErrorCodeText(int32_t code) {
  for (const auto& [c, text] : kCodeTexts) {
    if (c == code) return text;
  }
  return "Error Code:  " + std::to_string(code);
}

std::string RpcErrorMessage(const std::string& server_message, int32_t code) {
  if (!server_message.empty()) return server_message;
  return "RPC Error:  " + RpcErrorCodeText(code);
}

}  // namespace selvane
