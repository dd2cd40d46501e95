# Window tests of the desktop program (frame, input window, result windows): one program, run
# on the offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Test)

file(GLOB GUI_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/shell/*_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/results/*_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/input/*_window_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/evaluation/*_window_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/study/*_window_test.cpp)
add_executable(kijunchi_gui_tests ${CMAKE_CURRENT_SOURCE_DIR}/shell/gui_test_main.cpp
                                  ${GUI_TEST_SOURCES})
target_link_libraries(kijunchi_gui_tests PRIVATE kijunchi_gui kijunchi_cli Qt6::Test GTest::gtest)
target_include_directories(kijunchi_gui_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(kijunchi_gui_tests PRIVATE KIJUNCHI_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")

set(GUI_TEST_RUNTIME_DIR ${CMAKE_CURRENT_BINARY_DIR}/gui-tests-runtime)
file(MAKE_DIRECTORY ${GUI_TEST_RUNTIME_DIR})
file(CHMOD ${GUI_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
add_test(NAME kijunchi_gui_tests COMMAND kijunchi_gui_tests)
set_tests_properties(kijunchi_gui_tests PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${GUI_TEST_RUNTIME_DIR}")

# The soak: a long fixed-seed run of random user actions over the real windows, its own program
# with a bound on its time.
add_executable(kijunchi_gui_soak ${CMAKE_CURRENT_SOURCE_DIR}/shell/gui_test_main.cpp
                                 ${CMAKE_CURRENT_SOURCE_DIR}/soak/gui_soak_test.cpp)
target_link_libraries(kijunchi_gui_soak PRIVATE kijunchi_gui GTest::gtest)
target_include_directories(kijunchi_gui_soak PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
add_test(NAME kijunchi_gui_soak COMMAND kijunchi_gui_soak)
set_tests_properties(kijunchi_gui_soak PROPERTIES TIMEOUT 120
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${GUI_TEST_RUNTIME_DIR}")
