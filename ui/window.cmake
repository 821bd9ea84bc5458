# The register panes' and status bar's rules are plain C++ and tested without Qt.
add_library(tarvik_window_logic STATIC
  ${CMAKE_CURRENT_LIST_DIR}/register_texts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_bar_logic.cpp
)
target_link_libraries(tarvik_window_logic PUBLIC tarvik_engine)

add_library(tarvik_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/register_pane.cpp
  ${CMAKE_CURRENT_LIST_DIR}/debug_list_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_bar_widget.cpp
)
target_link_libraries(tarvik_ui PUBLIC Qt6::Widgets tarvik_window_logic tarvik_trace tarvik_engine)
