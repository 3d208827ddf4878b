# The core (src/sim, src/gfx) may include only itself, the standard library and the
# boundary headers of src/platform: nothing of app, host, hack, main or a platform
# folder. What every platform shares (src/app) may include the core as well, but
# nothing above it either: not the Windows saver (host), the Linux one (hack) or a
# program's top (main).
set(bad "")
function(check_includes above)
  foreach(source ${ARGN})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      if(line MATCHES "\"(${above})/" OR line MATCHES "\"platform/[^\"/]+/")
        string(APPEND bad "\n  ${source}: ${line}")
      endif()
    endforeach()
  endforeach()
  set(bad "${bad}" PARENT_SCOPE)
endfunction()
file(GLOB_RECURSE core ${SRC}/sim/* ${SRC}/gfx/*)
check_includes("app|host|hack|main" ${core})
file(GLOB_RECURSE shared ${SRC}/app/*)
check_includes("host|hack|main" ${shared})
if(bad)
  message(FATAL_ERROR "code includes code above it:${bad}")
endif()
