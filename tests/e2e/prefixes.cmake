# Makes the suite's Wine prefixes afresh, so that every run starts from a known
# state: "nt" (the default Windows version) and "win98" (the Windows 95 family), each
# with the stand-in libraries in the system directory of 32-bit programs, and "desks",
# nt without Wine's own desktop (tests/e2e/desks.sh).
#   cmake -DPREFIX_ROOT=<dir> -DPASSWORD_CPL=<file> -DMPR_DLL=<file> -DVERIFIER_PART=<file> -P prefixes.cmake
# With -DSTOP=ON it only stops the prefixes' Wine servers (the suite's clean-up).
foreach(name PREFIX_ROOT)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "${name} is not set")
  endif()
endforeach()

set(nt ${PREFIX_ROOT}/nt)
set(win98 ${PREFIX_ROOT}/win98)
set(desks ${PREFIX_ROOT}/desks)

# A copy of a prefix that shares Wine's own libraries with it (scripts/env.sh).
function(copy_prefix from to)
  execute_process(COMMAND bash -c "source \"$0\" && pendral_wine_copy \"$1\" \"$2\""
                          ${CMAKE_CURRENT_LIST_DIR}/../../scripts/env.sh ${from} ${to}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not copy ${from} to ${to}")
  endif()
endfunction()

function(in_prefix prefix)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${prefix} WINEDEBUG=-all
            "WINEDLLOVERRIDES=mscoree,mshtml=" ${ARGN}
    TIMEOUT 180 RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  set(rc ${rc} PARENT_SCOPE)
endfunction()

foreach(prefix ${nt} ${win98} ${desks})
  if(EXISTS ${prefix}/system.reg)
    in_prefix(${prefix} wineserver -k)
    in_prefix(${prefix} wineserver -w)
  endif()
endforeach()
if(STOP)
  return()
endif()

foreach(name PASSWORD_CPL MPR_DLL VERIFIER_PART)
  if(NOT EXISTS "${${name}}")
    message(FATAL_ERROR "${name} (${${name}}) does not exist")
  endif()
endforeach()

file(REMOVE_RECURSE ${PREFIX_ROOT})
file(MAKE_DIRECTORY ${PREFIX_ROOT})
# A prefix booted once for the whole run (scripts/test's PENDRAL_WINE_TEMPLATE) is copied;
# without one, the suite boots its own.
if(EXISTS "$ENV{PENDRAL_WINE_TEMPLATE}/system.reg")
  copy_prefix($ENV{PENDRAL_WINE_TEMPLATE} ${nt})
else()
  file(MAKE_DIRECTORY ${nt})
  in_prefix(${nt} wineboot -i)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "wineboot failed in ${nt}: ${rc}")
  endif()
  in_prefix(${nt} wineserver -w)
  # A crash fails its test at once instead of waiting for Wine's debugger (scripts/env.sh).
  in_prefix(${nt} bash -c "source \"$0\" && pendral_wine_no_crash_debugger \"$1\""
            ${CMAKE_CURRENT_LIST_DIR}/../../scripts/env.sh ${nt})
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not turn off Wine's crash debugger in ${nt}: ${rc}")
  endif()
endif()
in_prefix(${nt} wineserver -w)
# C:\windows\system32 of a 32-bit program is syswow64 in a 64-bit prefix.
set(system ${nt}/drive_c/windows/syswow64)
if(NOT IS_DIRECTORY ${system})
  set(system ${nt}/drive_c/windows/system32)
endif()
# Each a new file: Wine's own mpr.dll there is shared with the prefix it was copied from.
file(REMOVE ${system}/password.cpl ${system}/mpr.dll ${system}/pwdpart.dll)
file(COPY_FILE ${PASSWORD_CPL} ${system}/password.cpl)
file(COPY_FILE ${MPR_DLL} ${system}/mpr.dll)
file(COPY_FILE ${VERIFIER_PART} ${system}/pwdpart.dll)

# The desks' prefix has no desktop of Wine's own, so that Wine shows every monitor of
# the X server (tests/e2e/desks.sh); made here, so that its group runs beside the others.
copy_prefix(${nt} ${desks})

# Xvfb runs no window manager. Wine's own desktop window stands in for one: it
# keeps Wine from waiting for a manager whenever a window is hidden, and from
# grabbing the pointer for a full-screen window (which would stop input from
# moving the cursor). Its size is the screen of scripts/test's display.
file(WRITE ${nt}/drive_c/desktop.reg "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n\"Desktop\"=\"Default\"\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n\"Default\"=\"1024x768\"\n")
in_prefix(${nt} wine reg import "C:\\desktop.reg")
file(REMOVE ${nt}/drive_c/desktop.reg)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not set up Wine's desktop in ${nt}: ${rc}")
endif()
in_prefix(${nt} wineserver -w)

# The Windows 95 family's prefix starts as a copy of it (much quicker than a boot).
copy_prefix(${nt} ${win98})
in_prefix(${win98} wine reg add "HKCU\\Software\\Wine" /v Version /d win98 /f)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not set win98 in ${win98}: ${rc}")
endif()
in_prefix(${win98} wineserver -w)
message(STATUS "prefixes ready under ${PREFIX_ROOT}")
