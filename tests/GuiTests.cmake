# Window tests of the desktop program, on the offscreen platform. Every window test program
# shares one main() that sets the application up as the program does (support/gui_test_main.cpp).
#
#   kijunchi_add_gui_test(NAME <program> SOURCES <files...> [TIMEOUT <seconds>])
#
# adds a program over the windows library and registers it with CTest.
find_package(Qt6 REQUIRED COMPONENTS Test)

add_library(kijunchi_gui_test_main STATIC ${CMAKE_CURRENT_SOURCE_DIR}/support/gui_test_main.cpp)
target_link_libraries(kijunchi_gui_test_main PUBLIC kijunchi_gui kijunchi_test_support Qt6::Test
                                                    GTest::gtest)

set(KIJUNCHI_GUI_TEST_RUNTIME_DIR ${CMAKE_CURRENT_BINARY_DIR}/gui-tests-runtime)
file(MAKE_DIRECTORY ${KIJUNCHI_GUI_TEST_RUNTIME_DIR})
file(CHMOD ${KIJUNCHI_GUI_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE
                                                                  OWNER_EXECUTE)

function(kijunchi_add_gui_test)
  cmake_parse_arguments(GUI_TEST "" "NAME;TIMEOUT" "SOURCES" ${ARGN})
  add_executable(${GUI_TEST_NAME} ${GUI_TEST_SOURCES})
  target_link_libraries(${GUI_TEST_NAME} PRIVATE kijunchi_gui_test_main kijunchi_cli)
  target_include_directories(${GUI_TEST_NAME} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  add_test(NAME ${GUI_TEST_NAME} COMMAND ${GUI_TEST_NAME})
  set_tests_properties(${GUI_TEST_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${KIJUNCHI_GUI_TEST_RUNTIME_DIR}")
  if(GUI_TEST_TIMEOUT)
    set_tests_properties(${GUI_TEST_NAME} PROPERTIES TIMEOUT ${GUI_TEST_TIMEOUT})
  endif()
endfunction()

# The frame, the input window, the result windows, the file commands, the evaluation window and
# the study windows.
kijunchi_add_gui_test(NAME kijunchi_gui_tests SOURCES
  gui/shell/frame_test.cpp
  gui/shell/window_geometry_test.cpp
  gui/input/frm_mnu_window_test.cpp
  gui/results/result_windows_test.cpp
  gui/evaluation/evaluation_window_test.cpp
  gui/evaluation/evaluation_charts_window_test.cpp
  gui/shell/files_test.cpp
  gui/shell/record_test.cpp
  gui/files/choice_dialog_test.cpp
  gui/study/study_window_test.cpp)

# The batch window: its rows, its PDF report, its messages and its sizes; the indirect method's
# window against the command line.
kijunchi_add_gui_test(NAME kijunchi_batch_window_tests SOURCES
  gui/study/batch_window_test.cpp
  gui/study/indirect_window_test.cpp)
# The indirect window's test writes a workbook of two sheets.
target_link_libraries(kijunchi_batch_window_tests PRIVATE PkgConfig::XLSXWRITER)

# The transformation window and the generator dialogs.
kijunchi_add_gui_test(NAME kijunchi_dialog_tests SOURCES
  gui/generators/generator_dialogs_dialog_test.cpp
  gui/transform/box_window_test.cpp)

# The soak: a long fixed-seed run of random user actions over the real windows, with a bound on
# its time; the Debug build under the sanitizers runs it about three times slower.
if(KIJUNCHI_SANITIZE)
  set(soak_seconds 360)
else()
  set(soak_seconds 120)
endif()
kijunchi_add_gui_test(NAME kijunchi_gui_soak TIMEOUT ${soak_seconds} SOURCES
  gui/soak/gui_soak_test.cpp)
