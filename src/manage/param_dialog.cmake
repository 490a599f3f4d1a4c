# The parameters dialog and its helpers.
target_sources(kovra_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/fTailParam.h ${CMAKE_CURRENT_LIST_DIR}/fTailParam.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fTailParam_widgets.h ${CMAKE_CURRENT_LIST_DIR}/fTailParam_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/param_color_box.h ${CMAKE_CURRENT_LIST_DIR}/param_color_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/highlight_rules_editor.h ${CMAKE_CURRENT_LIST_DIR}/highlight_rules_editor.cpp)
