#pragma once
// The login the update server checks in the connect message.

#include <string_view>

namespace selvane {

// The password and user that the server checks, and the loader name sent along.
inline constexpr std::string_view kDSAuthenticationUser = "Oltrane";
inline constexpr std::string_view kDSAuthenticationPassword = "#Quintabel*604281";
inline constexpr std::string_view kDriverAssemblyLoader =
    "Borland.Data.TDBXClientDriverLoader,Borland.Data.DbxClientDriver,Version=24.0.0.0,Culture=neutral,"
    "PublicKeyToken=5e1a7a9c0b3d2f48";

}  // namespace selvane
