#pragma once
// The status line texts of a run, in the order they can appear.

#include <string_view>

namespace selvane {

inline constexpr std::string_view kStatusConectando = "Conectando com os Nossos Servidores...";
inline constexpr std::string_view kStatusSemConexao = "Não Foi Possível Conectar...";
inline constexpr std::string_view kStatusConectado = "Conectado com Sucesso!";
inline constexpr std::string_view kStatusProcurando = "Procurando Atualizações...";
inline constexpr std::string_view kStatusReiniciando = "Atualizado! Reiniciando o Aplicativo...";
inline constexpr std::string_view kStatusAtualizando = "Atualizando! Aguarde...";
inline constexpr std::string_view kStatusConcluindo = "Concluíndo...";
inline constexpr std::string_view kStatusConcluido = "Concluído!";

}  // namespace selvane
