# Functions that give a target the resources of a deliverable.

function(_brelio_resource_dirs target)
  target_include_directories(${target} PRIVATE "${BRELIO_RESOURCE_OUT}" "${BRELIO_RESOURCE_DIR}"
                                               "${BRELIO_RESOURCE_DIR}/shellext" "${PROJECT_SOURCE_DIR}/app/include")
  add_dependencies(${target} BrelioResourceFiles)
endfunction()

# Common controls version 6 for a program's windows.
function(brelio_program_manifest target)
  target_sources(${target} PRIVATE "${BRELIO_RESOURCE_DIR}/ProgramManifest.rc")
  set_source_files_properties("${BRELIO_RESOURCE_DIR}/ProgramManifest.rc" TARGET_DIRECTORY ${target}
                              PROPERTIES OBJECT_DEPENDS "${BRELIO_RESOURCE_DIR}/CommonControls.manifest")
  _brelio_resource_dirs(${target})
endfunction()

# The program's pictures and UI font.
function(brelio_drive_images target)
  target_sources(${target} PRIVATE "${BRELIO_RESOURCE_DIR}/BrelioDriveImages.rc")
  set_source_files_properties("${BRELIO_RESOURCE_DIR}/BrelioDriveImages.rc" TARGET_DIRECTORY ${target}
                              PROPERTIES OBJECT_DEPENDS "${BRELIO_RESOURCE_IMAGES}")
  _brelio_resource_dirs(${target})
endfunction()

# The program's dialogs and tray menu.
function(brelio_drive_dialogs target)
  target_sources(${target} PRIVATE "${BRELIO_RESOURCE_DIR}/BrelioDriveDialogs.rc")
  set_source_files_properties("${BRELIO_RESOURCE_DIR}/BrelioDriveDialogs.rc" TARGET_DIRECTORY ${target}
                              PROPERTIES OBJECT_DEPENDS "${BRELIO_RESOURCE_IMAGES}")
  _brelio_resource_dirs(${target})
endfunction()

function(brelio_update_resources target)
  target_sources(${target} PRIVATE "${BRELIO_RESOURCE_DIR}/BrelioUpdate.rc" "${BRELIO_RESOURCE_DIR}/LibraryManifest.rc")
  _brelio_resource_dirs(${target})
endfunction()

function(brelio_shellext_resources target)
  target_sources(${target} PRIVATE "${BRELIO_RESOURCE_DIR}/shellext/BrelioShellExt.rc")
  set_source_files_properties("${BRELIO_RESOURCE_DIR}/shellext/BrelioShellExt.rc" TARGET_DIRECTORY ${target}
                              PROPERTIES OBJECT_DEPENDS "${BRELIO_RESOURCE_TLB}")
  _brelio_resource_dirs(${target})
endfunction()
