# cmake -DLINUX_CLIENT=... -DLINUX_LIBRARY=... -DWINDOWS_CLIENT=... -DWINE=... -DWORK=...
#       -P CompareWithLinux.cmake          (WINEPREFIX set in the environment)
#
# Sends the message script through libkervale.so (the Linux test client, under a private
# KERVALE_ROOT) and through kervale.dll (the Windows test client, under Wine), once for each
# configuration below, and fails unless both give the same bytes in the current and the previous
# log, time texts aside: record stamps "dd/mm/yyyy hh:mm:ss" and the start line's time text.
foreach(file LINUX_CLIENT LINUX_LIBRARY WINDOWS_CLIENT)
  if(NOT EXISTS "${${file}}")
    message(FATAL_ERROR "${${file}} is missing: build the Linux test client first "
      "(cmake --build build --target kervale_client)")
  endif()
endforeach()
if(NOT DEFINED ENV{WINEPREFIX} OR NOT IS_DIRECTORY "$ENV{WINEPREFIX}/drive_c/windows")
  message(FATAL_ERROR "WINEPREFIX must name a Wine prefix")
endif()

set(machine "[MAQUINA]\r\nNOME=CAIXA01\r\nLOJA=0042\r\n")
set(configurations
  "[VANTEX]\r\nTIPO=TODOS\r\nTAMANHO=100\r\n${machine}"
  "[VANTEX]\r\nTIPO=XEVENTOS\r\nEVENTOS=6\r\nTAMANHO=100\r\n${machine}")

set(windowsDrive "$ENV{WINEPREFIX}/drive_c")
set(linuxRoot "${WORK}/root")

function(masked path outVar)
  file(READ "${path}" text)
  set(d "[0-9]")
  string(REGEX REPLACE "${d}${d}/${d}${d}/${d}${d}${d}${d} ${d}${d}:${d}${d}:${d}${d}"
    "dd/mm/yyyy hh:mm:ss" text "${text}")
  string(REGEX REPLACE
    "Inicio do Log:[A-Z][a-z][a-z] [A-Z][a-z][a-z] ${d}${d} ${d}${d}:${d}${d}:${d}${d} ${d}${d}${d}${d}"
    "Inicio do Log:<time>" text "${text}")
  set(${outVar} "${text}" PARENT_SCOPE)
endfunction()

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE errors
    TIMEOUT 300)
  if(failed OR NOT output MATCHES "script-done")
    message(FATAL_ERROR "${what} failed (${failed}):\n${output}\n${errors}")
  endif()
endfunction()

function(clean)
  file(REMOVE_RECURSE "${WORK}" "${windowsDrive}/VANTEX")
  file(REMOVE "${windowsDrive}/windows/QUENDAL.INI")
endfunction()

set(round 0)
set(failures)
foreach(configuration ${configurations})
  math(EXPR round "${round} + 1")
  clean()
  file(WRITE "${linuxRoot}/C/WINDOWS/QUENDAL.INI" "${configuration}")
  file(WRITE "${windowsDrive}/windows/QUENDAL.INI" "${configuration}")
  run("Linux client" ${CMAKE_COMMAND} -E env KERVALE_ROOT=${linuxRoot}
    ${LINUX_CLIENT} --library ${LINUX_LIBRARY} script)
  # The client waits for the script's end in the log before it exits: a process that exits
  # while its server is busy may lose the message being handled (see finishServer).
  run("Windows client" ${WINE} ${WINDOWS_CLIENT} script await FIM)

  foreach(log VANTEX.ANT VANTEX.LOG)
    set(linuxLog "${linuxRoot}/C/VANTEX/${log}")
    set(windowsLog "${windowsDrive}/VANTEX/${log}")
    if(NOT EXISTS "${linuxLog}" AND NOT EXISTS "${windowsLog}")
      continue()
    elseif(NOT EXISTS "${linuxLog}" OR NOT EXISTS "${windowsLog}")
      list(APPEND failures "round ${round}: ${log} missing on one side")
      continue()
    endif()
    masked("${linuxLog}" linux)
    masked("${windowsLog}" windows)
    if(NOT linux STREQUAL windows)
      # Kept for a look, outside what clean() removes.
      file(WRITE "${WORK}-${round}-linux-${log}" "${linux}")
      file(WRITE "${WORK}-${round}-windows-${log}" "${windows}")
      list(APPEND failures "round ${round}: ${log} differs (see ${WORK}-${round}-*-${log})")
    endif()
  endforeach()
endforeach()
clean()
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "the logs differ:\n  ${text}")
endif()
