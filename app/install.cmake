# Installation, and where the application finds its log collection tool.
# The tool is found beside the installed application (../libexec/vellacord),
# else in the source tree (runs from a build tree), else at the configured
# install location.
set(VELLACORD_LOG_TOOL_SOURCE ${PROJECT_SOURCE_DIR}/scripts/vellacord-log)
set(VELLACORD_LOG_TOOL_DIR libexec/vellacord)
target_compile_definitions(vellacord_logs PRIVATE
  VELLACORD_LOG_TOOL="${VELLACORD_LOG_TOOL_SOURCE}"
  VELLACORD_LOG_TOOL_INSTALLED="${CMAKE_INSTALL_PREFIX}/${VELLACORD_LOG_TOOL_DIR}/vellacord-log")

install(PROGRAMS ${VELLACORD_LOG_TOOL_SOURCE} DESTINATION ${VELLACORD_LOG_TOOL_DIR})
if(TARGET vellacord)
  install(TARGETS vellacord RUNTIME DESTINATION bin)
endif()
