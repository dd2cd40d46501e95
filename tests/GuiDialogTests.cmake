# Window tests for the transformation window and the generator dialogs: one program, run on the
# offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Test)

set(DIALOG_TEST_MAIN ${CMAKE_CURRENT_BINARY_DIR}/dialog_tests_main.cpp)
file(WRITE ${DIALOG_TEST_MAIN}.in [=[
#include <gtest/gtest.h>
#include <QApplication>
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
]=])
configure_file(${DIALOG_TEST_MAIN}.in ${DIALOG_TEST_MAIN} COPYONLY)

add_executable(kijunchi_dialog_tests
  ${DIALOG_TEST_MAIN}
  ${CMAKE_CURRENT_SOURCE_DIR}/generators/generator_dialogs_dialog_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/transform/box_window_test.cpp)
target_link_libraries(kijunchi_dialog_tests PRIVATE kijunchi_gui Qt6::Test GTest::gtest)
target_include_directories(kijunchi_dialog_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

set(DIALOG_TEST_RUNTIME_DIR ${CMAKE_CURRENT_BINARY_DIR}/dialog-tests-runtime)
file(MAKE_DIRECTORY ${DIALOG_TEST_RUNTIME_DIR})
file(CHMOD ${DIALOG_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
add_test(NAME kijunchi_dialog_tests COMMAND kijunchi_dialog_tests)
set_tests_properties(kijunchi_dialog_tests PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${DIALOG_TEST_RUNTIME_DIR}")
