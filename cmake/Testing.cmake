include(GoogleTest)

# One test executable of a layer:
#   corvane_add_test_suite(NAME SOURCES file... LIBS target...
#                          [DEFINITIONS NAME=value...] [DEPENDS target...] [OWN_MAIN]
#                          [ENVIRONMENT "NAME=value;..."])
# links GoogleTest's main unless the suite brings its own (OWN_MAIN), and the
# test support (tests/common), and registers every test with CTest.
function(corvane_add_test_suite name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "OWN_MAIN" "ENVIRONMENT" "SOURCES;LIBS;DEFINITIONS;DEPENDS")
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} corvane_test_support)
  if(arg_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  if(arg_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
  endif()
  if(arg_DEPENDS)
    add_dependencies(${name} ${arg_DEPENDS})
  endif()
  if(arg_ENVIRONMENT)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
