#pragma once
// The status line texts of a run, in the order they can appear.

#include <string_view>

namespace selvane {

inline constexpr std::string_view kStatusConnecting = "Conectando com os Nossos Servidores...";
inline constexpr std::string_view kStatusNoConnection = "Não Foi Possível Conectar...";
inline constexpr std::string_view kStatusConnected = "Conectado com Sucesso!";
inline constexpr std::string_view kStatusSearching = "Procurando Atualizações...";
inline constexpr std::string_view kStatusRestarting = "Atualizado! Reiniciando o Aplicativo...";
inline constexpr std::string_view kStatusUpdating = "Atualizando! Aguarde...";
inline constexpr std::string_view kStatusConcluding = "Concluíndo...";
inline constexpr std::string_view kStatusDone = "Concluído!";

}  // namespace selvane
