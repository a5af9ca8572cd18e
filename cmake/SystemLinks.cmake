# Runs at install time. A staged install (DESTDIR set, as the package build does) adds links under /usr to the
# program under its own prefix: the commands in /usr/bin, the desktop entry and the icons where menus look, the
# manual page where man looks.
# An install straight into a prefix leaves /usr alone; its desktop entry already names full paths.
# In: CMAKE_INSTALL_PREFIX, OLM_BIN_DIR (relative to the prefix).
set(_stage "$ENV{DESTDIR}")
if(_stage STREQUAL "" OR CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "No links under /usr (only a staged install with DESTDIR adds them)")
  return()
endif()

set(_links
  "bin/olm16|${OLM_BIN_DIR}/olm16"
  "bin/olm-admin|${OLM_BIN_DIR}/olm-admin"
  "share/applications/olm16.desktop|share/applications/olm16.desktop"
  "share/icons/hicolor/scalable/apps/olm16.svg|share/icons/hicolor/scalable/apps/olm16.svg"
  "share/man/man1/olm-admin.1|share/man/man1/olm-admin.1")
foreach(_size 16 32 48 64 128 256)
  list(APPEND _links "share/icons/hicolor/${_size}x${_size}/apps/olm16.png|share/icons/hicolor/${_size}x${_size}/apps/olm16.png")
endforeach()

foreach(_pair IN LISTS _links)
  string(REPLACE "|" ";" _pair "${_pair}")
  list(GET _pair 0 _link)
  list(GET _pair 1 _target)
  set(_at "${_stage}/usr/${_link}")
  get_filename_component(_folder "${_at}" DIRECTORY)
  file(MAKE_DIRECTORY "${_folder}")
  file(REMOVE "${_at}")
  file(CREATE_LINK "${CMAKE_INSTALL_PREFIX}/${_target}" "${_at}" SYMBOLIC)
  message(STATUS "Link: ${_at} -> ${CMAKE_INSTALL_PREFIX}/${_target}")
endforeach()
