# selvane_trust_key_header(<header> <pem> <name>): writes <header>, which
# defines `std::optional<TrustKey> <name>`: the ECDSA P-256 public key of the
# PEM file <pem> as its uncompressed point, or no key when <pem> is empty.
# The PEM is read with the openssl command at configure time, so the program
# carries only the 65 bytes of the point.
function(selvane_trust_key_header header pem name)
  set(value "std::nullopt")
  if(NOT pem STREQUAL "")
    if(NOT EXISTS "${pem}")
      message(FATAL_ERROR "Trust key ${pem} not found")
    endif()
    find_program(SELVANE_OPENSSL openssl REQUIRED)
    set(der ${CMAKE_CURRENT_BINARY_DIR}/${name}.der)
    execute_process(COMMAND ${SELVANE_OPENSSL} pkey -pubin -in ${pem} -outform DER -out ${der}
                    RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "Trust key ${pem} is no public key: ${err}")
    endif()
    file(READ ${der} hex HEX)
    # The SubjectPublicKeyInfo of a P-256 key: this fixed head, then the point.
    set(head "3059301306072a8648ce3d020106082a8648ce3d030107034200")
    string(LENGTH "${hex}" n)
    string(SUBSTRING "${hex}" 0 52 got_head)
    if(NOT n EQUAL 182 OR NOT got_head STREQUAL head)
      message(FATAL_ERROR "Trust key ${pem} is no ECDSA P-256 public key")
    endif()
    string(SUBSTRING "${hex}" 52 130 point)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${point}")
    set(value "TrustKey{{${bytes}}}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pem})
  endif()
  file(CONFIGURE OUTPUT ${header} CONTENT "#pragma once
// Generated from the trust key given to the build; do not edit.
#include <optional>

#include \"platform/signature_check.h\"

namespace selvane {
inline constexpr std::optional<TrustKey> ${name} = ${value};
}  // namespace selvane
")
endfunction()
