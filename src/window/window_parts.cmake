# Building blocks of the tail window that do not need the engine.
target_sources(kovra_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/command_line.h ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp)
