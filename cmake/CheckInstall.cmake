# Test script (ctest install_layout): installs the build into a scratch prefix and checks the layout, then
# stages it with DESTDIR under the default prefix, as the package build does, and checks the links under /usr.
# In: OLM_BUILD_DIR, OLM_SCRATCH.
set(_failures "")
# olm_expect(message condition...): records message when the condition does not hold.
macro(olm_expect message)
  if(NOT (${ARGN}))
    list(APPEND _failures "${message}")
  endif()
endmacro()

file(REMOVE_RECURSE "${OLM_SCRATCH}")
set(_prefix "${OLM_SCRATCH}/prefix")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${OLM_BUILD_DIR}" --prefix "${_prefix}"
  RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${_output}")
endif()

foreach(_file bin/olm16 bin/olm-admin share/doc/olm16/README.md share/doc/olm16/install.md
              share/icons/hicolor/scalable/apps/olm16.svg share/applications/olm16.desktop
              share/man/man1/olm-admin.1 lib/olm_collations.so)
  olm_expect("missing ${_file}" EXISTS "${_prefix}/${_file}")
endforeach()
foreach(_size 16 32 48 64 128 256)
  olm_expect("missing the ${_size} icon" EXISTS "${_prefix}/share/icons/hicolor/${_size}x${_size}/apps/olm16.png")
endforeach()
foreach(_program olm16 olm-admin)
  execute_process(COMMAND test -x "${_prefix}/bin/${_program}" RESULT_VARIABLE _notExecutable)
  olm_expect("${_program} is not executable" _notExecutable EQUAL 0)
endforeach()
# The manual page is the tool's own help: it names the installed program's commands.
if(EXISTS "${_prefix}/share/man/man1/olm-admin.1")
  file(READ "${_prefix}/share/man/man1/olm-admin.1" _page)
  foreach(_text ".TH OLM-ADMIN 1" ".SS user" "user remove DB LOGIN")
    string(FIND "${_page}" "${_text}" _at)
    olm_expect("the manual page lacks ${_text}" NOT _at EQUAL -1)
  endforeach()
endif()
# The installed module is one a stock shell can load, not one of the build tree's own.
execute_process(COMMAND sqlite3 -cmd ".load ${_prefix}/lib/olm_collations" :memory:
                        "SELECT 'A ' = 'a' COLLATE OLM_CI"
  RESULT_VARIABLE _shellResult OUTPUT_VARIABLE _shellOutput ERROR_VARIABLE _shellError)
if(NOT _shellResult STREQUAL "No such file or directory")
  olm_expect("a stock sqlite3 cannot load the installed olm_collations: ${_shellError}"
             _shellResult EQUAL 0 AND _shellOutput STREQUAL "1\n")
endif()

# A direct install into a prefix leaves /usr alone: no usr/ appears inside the prefix either.
olm_expect("a direct install made links" NOT EXISTS "${_prefix}/usr")

file(READ "${_prefix}/share/applications/olm16.desktop" _entry)
foreach(_line "Exec=\"${_prefix}/bin/olm16\"" "Path=${_prefix}/bin"
              "Icon=${_prefix}/share/icons/hicolor/256x256/apps/olm16.png" "Name[ru]=Учет успеваемости")
  string(FIND "${_entry}" "\n${_line}\n" _at)
  olm_expect("the desktop entry lacks the line ${_line}" NOT _at EQUAL -1)
endforeach()

# Staged under the package's prefix: the files under the stage, the links name the real paths.
set(_stage "${OLM_SCRATCH}/stage")
set(ENV{DESTDIR} "${_stage}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${OLM_BUILD_DIR}" --prefix /opt/olm16
  RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
unset(ENV{DESTDIR})
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "staged cmake --install failed:\n${_output}")
endif()
olm_expect("the staged install lacks bin/olm16" EXISTS "${_stage}/opt/olm16/bin/olm16")
foreach(_pair "bin/olm16|/opt/olm16/bin/olm16" "bin/olm-admin|/opt/olm16/bin/olm-admin"
              "share/applications/olm16.desktop|/opt/olm16/share/applications/olm16.desktop"
              "share/icons/hicolor/48x48/apps/olm16.png|/opt/olm16/share/icons/hicolor/48x48/apps/olm16.png"
              "share/man/man1/olm-admin.1|/opt/olm16/share/man/man1/olm-admin.1")
  string(REPLACE "|" ";" _pair "${_pair}")
  list(GET _pair 0 _link)
  list(GET _pair 1 _target)
  if(IS_SYMLINK "${_stage}/usr/${_link}")
    file(READ_SYMLINK "${_stage}/usr/${_link}" _points)
    olm_expect("usr/${_link} points to ${_points}, not ${_target}" _points STREQUAL _target)
  else()
    list(APPEND _failures "no link usr/${_link}")
  endif()
endforeach()
file(READ "${_stage}/opt/olm16/share/applications/olm16.desktop" _entry)
string(FIND "${_entry}" "\nExec=\"/opt/olm16/bin/olm16\"\n" _at)
olm_expect("the staged desktop entry does not name /opt/olm16/bin/olm16" NOT _at EQUAL -1)

if(_failures)
  list(JOIN _failures "\n  " _text)
  message(FATAL_ERROR "install layout:\n  ${_text}")
endif()
file(REMOVE_RECURSE "${OLM_SCRATCH}")
message(STATUS "install layout: all checks passed")
