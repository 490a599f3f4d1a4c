# Running instances and program launch (kovra_core: QtCore, QtGui for QDesktopServices, QtNetwork).
target_sources(kovra_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/instances.h ${CMAKE_CURRENT_LIST_DIR}/instances.cpp
  ${CMAKE_CURRENT_LIST_DIR}/launch.h ${CMAKE_CURRENT_LIST_DIR}/launch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_editor.h ${CMAKE_CURRENT_LIST_DIR}/text_editor.cpp)
