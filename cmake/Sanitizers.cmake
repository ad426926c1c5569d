# One build tree per sanitizer set: the test command configures a plain tree, an
# AddressSanitizer + UndefinedBehaviorSanitizer tree and a ThreadSanitizer tree.
if(KORVANE_SANITIZE STREQUAL "address,undefined")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(KORVANE_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT KORVANE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KORVANE_SANITIZE must be '', 'address,undefined' or 'thread'")
endif()

# korvane_test(name LABELS label SOURCES ... LIBS ...): a GoogleTest program
# registered with ctest under its label.
function(korvane_test name)
  cmake_parse_arguments(T "" "" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  korvane_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest Threads::Threads)
  gtest_discover_tests(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300
    DISCOVERY_TIMEOUT 60)
endfunction()
find_package(Threads REQUIRED)
