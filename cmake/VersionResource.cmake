# brelio_version_resource(target module-file description type): gives a
# module its version resource, which the program reads back at run time.
function(brelio_version_resource target file description type)
  set(BRELIO_MODULE_NAME ${target})
  set(BRELIO_MODULE_FILE ${file})
  set(BRELIO_FILE_DESCRIPTION "${description}")
  set(BRELIO_FILE_TYPE ${type})
  set(_rc "${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc")
  configure_file(${PROJECT_SOURCE_DIR}/resources/Version.rc.in "${_rc}" @ONLY)
  target_sources(${target} PRIVATE "${_rc}")
endfunction()
