#pragma once
// The data module: owner of the one server connection for the whole run.
// Destroying it closes the connection.

#include "server/server_connection.h"

namespace selvane {

class TDM {
 public:
  TDM() = default;
  TServerConnection ConexaoServer;
};

}  // namespace selvane
