# Source collection rules shared by every target.
#
# A source file either includes <windows.h> or it does not. Files that do carry the
# suffix _win; every other .cpp under src/ (outside the framework, whose files are all
# _win, and the resources) is portable and goes into tavrel_core, built natively and by both
# mingw compilers.
set(TAVREL_SRC ${CMAKE_CURRENT_LIST_DIR}/../src)
get_filename_component(TAVREL_SRC ${TAVREL_SRC} ABSOLUTE)

# Sub-systems that belong to the main program. The updater's folder adds its portable
# decisions to tavrel_core; its Windows files belong to the updater program alone and
# are collected by tavrel_collect_updater.
set(TAVREL_CORE_DIRS shell protocol connection login panel widgets remote screenup soundup notetool)

# The updater's Windows sources (without its entry point and its test hooks, which
# are linked only into the program variant they belong to).
function(tavrel_collect_updater out_win)
  file(GLOB files CONFIGURE_DEPENDS ${TAVREL_SRC}/updater/*_win.cpp)
  list(FILTER files EXCLUDE REGEX "Main_win\\.cpp$")
  list(FILTER files EXCLUDE REGEX "TestHooks[^/]*$")
  set(${out_win} ${files} PARENT_SCOPE)
endfunction()

function(tavrel_collect out_portable out_win)
  set(portable)
  set(win)
  file(GLOB updater_portable CONFIGURE_DEPENDS ${TAVREL_SRC}/updater/*.cpp)
  list(FILTER updater_portable EXCLUDE REGEX "_win\\.cpp$")
  list(APPEND portable ${updater_portable})
  foreach(dir IN LISTS TAVREL_CORE_DIRS)
    file(GLOB files CONFIGURE_DEPENDS ${TAVREL_SRC}/${dir}/*.cpp)
    foreach(f IN LISTS files)
      get_filename_component(name ${f} NAME_WE)
      if(name MATCHES "Main(_win)?$" OR name MATCHES "^TestHooks")
        # program entry points and test hooks are linked only into their program
      elseif(name MATCHES "_win$")
        list(APPEND win ${f})
      else()
        list(APPEND portable ${f})
      endif()
    endforeach()
  endforeach()
  set(${out_portable} ${portable} PARENT_SCOPE)
  set(${out_win} ${win} PARENT_SCOPE)
endfunction()

# Runs a Windows test program under Wine and insists on GoogleTest's own closing
# words: a Wine that cannot start the program still exits with 0, so the exit code
# alone proves nothing. The tests share one desktop and find their windows on it, so
# they take turns.
function(tavrel_add_wine_gtest target)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 300
    PROPERTIES LABELS win RESOURCE_LOCK wine_desktop
               PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test"
               FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]"
               TIMEOUT 120)
  # Discovery of zero tests would look like success; this one always exists.
  add_test(NAME ${target}.really_ran
           COMMAND ${target} --gtest_list_tests)
  set_tests_properties(${target}.really_ran PROPERTIES LABELS win
                       PASS_REGULAR_EXPRESSION "^[A-Za-z]")
endfunction()
