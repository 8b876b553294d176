# Each folder's sources are picked up by glob so that adding a file needs no
# edit of a shared list. Files under a "views" subfolder need QtWidgets.
function(vellacord_core_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER _src EXCLUDE REGEX "/main\\.cpp$")
  if(NOT _src)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp "namespace {}\n")
    set(_src ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Qt6::Core Qt6::Gui Qt6::Network Qt6::Concurrent ${ARG_DEPENDS})
endfunction()

# All widgets live in one library so that views of different folders may use
# each other (the main window hosts the crash browser and the settings popover).
function(vellacord_all_views_library)
  set(_src)
  foreach(_d app browser ai crashes processnames logs)
    file(GLOB _s CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${_d}/views/*.cpp
         ${PROJECT_SOURCE_DIR}/${_d}/views/*.h ${PROJECT_SOURCE_DIR}/${_d}/views/*.qrc)
    list(APPEND _src ${_s})
  endforeach()
  set(_core vellacord_logs vellacord_processnames vellacord_ai vellacord_crashes vellacord_browser vellacord_app)
  if(NOT _src)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/views_empty.cpp "namespace {}\n")
    set(_src ${CMAKE_CURRENT_BINARY_DIR}/views_empty.cpp)
  endif()
  add_library(vellacord_all_views STATIC ${_src})
  target_include_directories(vellacord_all_views PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(vellacord_all_views PUBLIC Qt6::Widgets vellacord_ui ${_core})
endfunction()

# One QtTest executable per tests/<folder>/test_*.cpp; tests/<folder>/views/
# tests link the widget libraries too. All run under the offscreen platform.
function(vellacord_add_tests folder)
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  file(GLOB _vtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/views/test_*.cpp)
  foreach(_t ${_tests} ${_vtests})
    get_filename_component(_n ${_t} NAME_WE)
    set(_target ${folder}_${_n})
    add_executable(${_target} ${_t})
    target_link_libraries(${_target} PRIVATE vellacord_testsupport Qt6::Test)
    list(FIND _vtests ${_t} _isview)
    if(NOT _isview EQUAL -1)
      target_link_libraries(${_target} PRIVATE vellacord_all_views Qt6::Widgets)
    endif()
    add_test(NAME ${_target} COMMAND ${_target})
    set_tests_properties(${_target} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VELLACORD_CLI=$<TARGET_FILE:vellacord-cli>;VELLACORD_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
      TIMEOUT 600)
  endforeach()
endfunction()
