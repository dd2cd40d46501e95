# The desktop program: the windows and dialogs (Qt) as a library over the core, and main().
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport Svg)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

set(GUI_SOURCES)
foreach(dir shell results)
  file(GLOB dir_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/*.cpp)
  list(APPEND GUI_SOURCES ${dir_sources})
endforeach()
foreach(dir ${CORE_DIRS})
  file(GLOB dir_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/*_window.cpp
       ${PROJECT_SOURCE_DIR}/src/${dir}/*_dialog.cpp ${PROJECT_SOURCE_DIR}/src/${dir}/*_widget.cpp)
  list(APPEND GUI_SOURCES ${dir_sources})
endforeach()
list(FILTER GUI_SOURCES EXCLUDE REGEX "/shell/main\\.cpp$")
file(GLOB GUI_RESOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*/*.qrc)

add_library(kijunchi_gui STATIC ${GUI_SOURCES} ${GUI_RESOURCES})
target_link_libraries(kijunchi_gui PUBLIC kijunchi_core Qt6::Widgets Qt6::PrintSupport Qt6::Svg)

add_executable(kijunchi src/shell/main.cpp)
target_link_libraries(kijunchi PRIVATE kijunchi_gui)
