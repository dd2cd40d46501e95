# The desktop program (Qt): the windows' toolkit, the windows and dialogs over the core, and
# main(). A new window goes into the list of its folder in KIJUNCHI_WINDOW_SOURCES; a control
# or helper that several windows share goes into KIJUNCHI_WIDGETS_SOURCES.
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport Charts Svg)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

# The floor below the windows: message boxes, layout helpers, pictures, buttons, window
# arrangement, keys, the application's set-up. It includes no window.
set(KIJUNCHI_WIDGETS_SOURCES
  src/gui/widgets/app_setup.cpp
  src/gui/widgets/caption_button.cpp
  src/gui/widgets/mdi_arrange.cpp
  src/gui/widgets/pictures.cpp
  src/gui/widgets/file_prompt.cpp
  src/gui/widgets/prompt.cpp
  src/gui/widgets/window_key.cpp
  src/gui/widgets/window_layout.cpp
  src/gui/widgets/worker_progress.cpp)
add_library(kijunchi_widgets STATIC ${KIJUNCHI_WIDGETS_SOURCES})
target_include_directories(kijunchi_widgets PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kijunchi_widgets PUBLIC kijunchi_core Qt6::Widgets)

# The windows and dialogs, one list per folder, and the frame (shell/) that holds them.
set(KIJUNCHI_WINDOW_SOURCES
  # gui/results/: the statistics and histogram windows, their base and the report document
  src/gui/results/chart_parts.cpp
  src/gui/results/histogram_window.cpp
  src/gui/results/picture_box.cpp
  src/gui/results/report_document.cpp
  src/gui/results/result_window.cpp
  src/gui/results/statistics_window.cpp
  # gui/input/
  src/gui/input/frm_mnu_window.cpp
  # gui/transform/
  src/gui/transform/box_window.cpp
  # gui/generators/
  src/gui/generators/generator_dialog.cpp
  src/gui/generators/itiyou_dialog.cpp
  src/gui/generators/nrm_dialog.cpp
  # gui/evaluation/
  src/gui/evaluation/distribution_charts.cpp
  src/gui/evaluation/evaluation_window.cpp
  # gui/files/
  src/gui/files/choice_dialog.cpp
  src/gui/files/file_prompt_dialog.cpp
  src/gui/files/progress_dialog.cpp
  # gui/study/
  src/gui/study/batch_window.cpp
  src/gui/study/indirect_window.cpp
  src/gui/study/partition_window.cpp
  src/gui/study/study_header_dialog.cpp
  src/gui/study/study_text_window.cpp
  src/gui/study/study_windows.cpp
  src/gui/study/verification_window.cpp)
set(KIJUNCHI_SHELL_SOURCES
  src/gui/shell/about.cpp
  src/gui/shell/mdi_form.cpp
  src/gui/shell/mdi_form_files.cpp
  src/gui/shell/mdi_form_study.cpp
  src/gui/shell/startf.cpp)
add_library(kijunchi_gui STATIC ${KIJUNCHI_WINDOW_SOURCES} ${KIJUNCHI_SHELL_SOURCES})
target_link_libraries(kijunchi_gui PUBLIC kijunchi_core kijunchi_widgets Qt6::Widgets
                                          Qt6::PrintSupport Qt6::Charts Qt6::Svg)

add_executable(kijunchi src/gui/shell/main.cpp)
target_link_libraries(kijunchi PRIVATE kijunchi_gui)

# kijunchi-pdf: the document of kijunchi-report --pdf, drawn from the core's models without a
# display; kijunchi-report runs it from its own folder, so the one is built with the other.
add_executable(kijunchi-pdf src/gui/headless/pdf_main.cpp src/gui/headless/model_document.cpp)
target_link_libraries(kijunchi-pdf PRIVATE kijunchi_cli kijunchi_gui)
add_dependencies(kijunchi-report kijunchi-pdf)

# The window tour: every window in a real X session, for scripts/screenshots.sh.
option(KIJUNCHI_TOUR "Build the window tour that takes the screenshots" OFF)
if(KIJUNCHI_TOUR)
  add_executable(kijunchi_window_tour tools/window_tour.cpp)
  target_link_libraries(kijunchi_window_tour PRIVATE kijunchi_gui)
endif()
