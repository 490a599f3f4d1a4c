# Building blocks of the tail window that do not need the engine, and the program's pictures.
# The pictures are SVG: showing them needs Qt's SVG image plugin at run time (Debian: qt6-svg-dev
# or libqt6svg6).
target_sources(kovra_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/command_line.h ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kovra_resources.h ${CMAKE_CURRENT_LIST_DIR}/kovra_resources.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kovra_resources.qrc)
