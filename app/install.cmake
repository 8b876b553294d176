# Installation, and where the application finds its log collection tool.
# The tool is found beside the installed application (../libexec/vellacord),
# else in the source tree (runs from a build tree), else at the configured
# install location.
set(VELLACORD_LOG_TOOL_SOURCE ${PROJECT_SOURCE_DIR}/scripts/vellacord-log)
set(VELLACORD_LOG_TOOL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/vellacord)
target_compile_definitions(vellacord_logs PRIVATE
  VELLACORD_LOG_TOOL="${VELLACORD_LOG_TOOL_SOURCE}"
  VELLACORD_LOG_TOOL_INSTALLED="${CMAKE_INSTALL_FULL_LIBEXECDIR}/vellacord/vellacord-log")

install(PROGRAMS ${VELLACORD_LOG_TOOL_SOURCE} DESTINATION ${VELLACORD_LOG_TOOL_DIR})
if(TARGET vellacord)
  install(TARGETS vellacord RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The desktop entry's name matches the application's desktop file name; the
  # icons are the emblem AppIdentity draws, rendered at their sizes.
  install(FILES desktop/vellacord.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(_size 48 128 256)
    install(FILES desktop/vellacord-${_size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps RENAME vellacord.png)
  endforeach()
  # What software centres show; its id names the desktop entry above.
  install(FILES desktop/com.corvistra.Vellacord.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The manual pages, compressed as Debian ships them, and the CLI's bash
  # completion, which bash-completion loads by the command's name.
  set(_manpages)
  foreach(_page vellacord vellacord-cli)
    set(_copy ${PROJECT_BINARY_DIR}/man/${_page}.1)
    configure_file(${PROJECT_SOURCE_DIR}/man/${_page}.1 ${_copy} COPYONLY)
    add_custom_command(OUTPUT ${_copy}.gz COMMAND gzip -9nkf ${_copy} DEPENDS ${_copy} VERBATIM)
    list(APPEND _manpages ${_copy}.gz)
  endforeach()
  add_custom_target(manpages ALL DEPENDS ${_manpages})
  install(FILES ${_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/completion/vellacord-cli
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
