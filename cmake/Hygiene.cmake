# Warnings (and the fuzzers' sanitizers) for every target defined below the top directory.
# Qt's and the other imported packages' headers come in as system headers, so
# the warnings are about our code only.

add_compile_options(-Wall -Wextra -Wpedantic)

# CI builds fail on any warning; a developer's build only reports them. Only the
# environment at configure time counts, so CI=false or an unset CI keeps them
# warnings. VELLACORD_WERROR=ON forces errors anywhere.
set(_ci "$ENV{CI}")
string(TOLOWER "${_ci}" _ci)
if(VELLACORD_WERROR OR (NOT _ci STREQUAL "" AND NOT _ci MATCHES "^(0|false|no|off)$"))
  message(STATUS "Vellacord: warnings are errors")
  add_compile_options(-Werror)
endif()

if(VELLACORD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
