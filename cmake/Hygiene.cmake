# Warnings and sanitizers for every target defined below the top directory.
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
elseif(VELLACORD_SANITIZE)
  # -O1 keeps the suite quick enough while the reports keep useful stacks;
  # undefined behaviour aborts the test instead of printing and going on.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -O1)
  add_link_options(-fsanitize=address,undefined)
  # GCC's flow analysis gives false "may be used uninitialized" warnings on
  # sanitized code (std::variant moves); the plain build keeps the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  set(VELLACORD_BENCH OFF)
  set(VELLACORD_TEST_ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp")
endif()
