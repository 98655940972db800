# Helpers shared by tests/, fuzz/ and bench/.
include(GoogleTest)

# Every test process gets its own private home so that nothing touches the
# user's real settings, logs or runtime registration.
set(QUILLOMAT_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)
file(MAKE_DIRECTORY ${QUILLOMAT_TEST_HOME}/config ${QUILLOMAT_TEST_HOME}/state)
file(MAKE_DIRECTORY ${QUILLOMAT_TEST_HOME}/runtime)
file(CHMOD ${QUILLOMAT_TEST_HOME}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(QUILLOMAT_TEST_ENV
  "QT_QPA_PLATFORM=offscreen"
  "QUILLOMAT_CAMERA=simulated"
  "HOME=${QUILLOMAT_TEST_HOME}"
  "XDG_CONFIG_HOME=${QUILLOMAT_TEST_HOME}/config"
  "XDG_STATE_HOME=${QUILLOMAT_TEST_HOME}/state"
  "XDG_RUNTIME_DIR=${QUILLOMAT_TEST_HOME}/runtime"
  "QUILLOMAT_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
  "QUILLOMAT_BINARY_DIR=${CMAKE_BINARY_DIR}"
  "QUILLOMAT_REAL_FIXTURES=${CMAKE_SOURCE_DIR}/../shared/fixtures/real"
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
)

# quillomat_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# Builds one GoogleTest executable and registers each of its cases with CTest.
function(quillomat_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${name} PRIVATE QUILLOMAT_TEST_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # gtest_discover_tests flattens list-valued properties, so the environment
  # travels in front of the command instead (discovery runs under it too).
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env ${QUILLOMAT_TEST_ENV})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 120
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT 300)
endfunction()
