#pragma once
// Paths on the update server's disk that travel as File values: the client
// passes them back unchanged and never uses them as paths of its own.

#include <string_view>

namespace selvane {

// The server's folder below which full-path File values lie.
inline constexpr std::string_view kServerRoot = "C:\\Kavel\\Servidor Atualizacao\\";

// The updater's File value, the same for every edition: what AtualizaAtualizador
// answers with and what the updater asks RetornaArquivo for when it fetches itself.
inline constexpr std::string_view kServerUpdaterPath = "C:\\Kavel\\Servidor Atualizacao\\Cliente\\Selvane.exe";
static_assert(kServerUpdaterPath.starts_with(kServerRoot));

}  // namespace selvane
