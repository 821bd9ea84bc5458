# The status-bar rules run without Qt; the window's tests need a QApplication
# and run offscreen.
add_executable(status_bar_logic_tests ${CMAKE_CURRENT_LIST_DIR}/status_bar_logic_test.cpp)
target_link_libraries(status_bar_logic_tests PRIVATE tarvik_window_logic GTest::gtest_main)
gtest_discover_tests(status_bar_logic_tests)

add_executable(window_tests
  ${CMAKE_CURRENT_LIST_DIR}/window_test_app.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_layout_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/register_pane_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/debug_list_window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/debug_line_paint_test.cpp
)
target_link_libraries(window_tests PRIVATE tarvik_ui Qt6::Test GTest::gtest_main)
gtest_discover_tests(window_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
