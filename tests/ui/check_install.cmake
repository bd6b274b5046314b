# Installs the build into a fresh folder and checks that the folder is a
# complete program: executables, catalog, icon, release notes and a menu
# entry naming it.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(f corvane corvane-cli locale/en/LC_MESSAGES/Corvane.mo corvane.svg corvane.desktop NEWS)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "missing in the installed folder: ${f}")
  endif()
endforeach()
file(READ ${PREFIX}/corvane.desktop desktop)
foreach(line "Exec=\"${PREFIX}/corvane\"" "Icon=${PREFIX}/corvane.svg" "Type=Application")
  string(FIND "${desktop}" "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "corvane.desktop lacks ${line}:\n${desktop}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
