# The end-to-end suite: a GoogleTest driver for Windows that starts the real
# pendral.scr under Wine, and two stand-in libraries that the saver finds in the
# system directory in place of the password verifier and the network provider.
# It proves the 32-bit program (the Windows 95 family runs nothing else).
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()
file(GLOB PENDRAL_E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(pendral_e2e ${PENDRAL_E2E_SOURCES})
target_link_libraries(pendral_e2e PRIVATE GTest::gtest user32 gdi32 advapi32)
target_precompile_headers(pendral_e2e PRIVATE <gtest/gtest.h> <windows.h>)
target_compile_definitions(pendral_e2e PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)

# The saver looks its entries up by their plain names: export them undecorated.
add_library(e2e_password_cpl SHARED ${CMAKE_CURRENT_LIST_DIR}/stand_in/password_cpl.cpp)
set_target_properties(e2e_password_cpl PROPERTIES PREFIX "" OUTPUT_NAME password SUFFIX ".cpl")
add_library(e2e_mpr SHARED ${CMAKE_CURRENT_LIST_DIR}/stand_in/mpr.cpp)
set_target_properties(e2e_mpr PROPERTIES PREFIX "" OUTPUT_NAME mpr SUFFIX ".dll")
# The verifier's stand-in imports this one, which the saver must find beside it.
add_library(e2e_verifier_part SHARED ${CMAKE_CURRENT_LIST_DIR}/stand_in/verifier_part.cpp)
set_target_properties(e2e_verifier_part PROPERTIES PREFIX "" OUTPUT_NAME pwdpart SUFFIX ".dll")
target_link_libraries(e2e_password_cpl PRIVATE e2e_verifier_part)
foreach(lib e2e_password_cpl e2e_mpr e2e_verifier_part)
  target_link_options(${lib} PRIVATE -Wl,--kill-at -static)
  target_compile_definitions(${lib} PRIVATE WIN32_LEAN_AND_MEAN)
  target_link_libraries(${lib} PRIVATE user32)
endforeach()

# The saver under test: the project's own target, or a file given with -DPENDRAL_E2E_SCR=<path>.
if(PENDRAL_PRODUCT_DIR AND NOT PENDRAL_E2E_SCR)
  set(PENDRAL_E2E_SCR ${PENDRAL_SCR_DIR}/pendral.scr)
endif()
foreach(candidate pendral_scr pendral)
  if(TARGET ${candidate} AND NOT PENDRAL_E2E_SCR)
    get_target_property(suffix ${candidate} SUFFIX)
    if(suffix STREQUAL ".scr")
      set(PENDRAL_E2E_SCR $<TARGET_FILE:${candidate}>)
    endif()
  endif()
endforeach()

if(PENDRAL_E2E_SCR)
  set(root ${CMAKE_BINARY_DIR}/e2e-wine)
  # The suite's windows go to a display of their own when scripts/test gives one
  # (PENDRAL_E2E_DISPLAY), so that the other Windows tests, which run beside the
  # suite, never cover its saver or take the focus from it.
  set(on_display sh -c "DISPLAY=\"\${PENDRAL_E2E_DISPLAY:-\$DISPLAY}\" exec \"\$@\"" e2e)
  # Two fresh prefixes for every run, and their Wine servers stopped at the end.
  add_test(NAME e2e-prefixes
           COMMAND ${on_display} ${CMAKE_COMMAND} -DPREFIX_ROOT=${root}
                   -DPASSWORD_CPL=$<TARGET_FILE:e2e_password_cpl> -DMPR_DLL=$<TARGET_FILE:e2e_mpr>
                   -DVERIFIER_PART=$<TARGET_FILE:e2e_verifier_part>
                   -P ${CMAKE_CURRENT_LIST_DIR}/prefixes.cmake)
  set_tests_properties(e2e-prefixes PROPERTIES FIXTURES_SETUP e2e_wine TIMEOUT 300
                       RESOURCE_LOCK e2e_display)
  add_test(NAME e2e-stop-wine
           COMMAND ${CMAKE_COMMAND} -DPREFIX_ROOT=${root} -DSTOP=ON -P ${CMAKE_CURRENT_LIST_DIR}/prefixes.cmake)
  set_tests_properties(e2e-stop-wine PROPERTIES FIXTURES_CLEANUP e2e_wine TIMEOUT 60)

  # One ctest entry per group of cases; the network provider's stand-in is taken
  # before Wine's own library, so that every load of it shows in the log.
  function(pendral_e2e_group name prefix filter)
    add_test(NAME e2e-${name} COMMAND ${on_display} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:pendral_e2e>
                                      --scr=${PENDRAL_E2E_SCR} --gtest_filter=${filter})
    set_tests_properties(e2e-${name} PROPERTIES
      FIXTURES_REQUIRED e2e_wine RESOURCE_LOCK e2e_display TIMEOUT 240
      ENVIRONMENT "WINEPREFIX=${root}/${prefix};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=\\;mpr=n,b")
  endfunction()
  pendral_e2e_group(run-modes nt "RunModes.*")
  pendral_e2e_group(full-screen nt "FullScreen.*")
  pendral_e2e_group(settings nt "Settings.*")
  pendral_e2e_group(sprites nt "Sprites.*")
  pendral_e2e_group(preview nt "Preview.*")
  pendral_e2e_group(win95 win98 "Win95.*")

  # Two monitors of different sizes: a real X server with the dummy driver of its own.
  add_test(NAME e2e-desks
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desks.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                   $<TARGET_FILE:pendral_e2e> ${PENDRAL_E2E_SCR} ${root})
  # On a display and in a prefix of its own: beside the other groups.
  set_tests_properties(e2e-desks PROPERTIES FIXTURES_REQUIRED e2e_wine TIMEOUT 300)
endif()
