# Mail (kovra_core) and sound (kovra_ui: Qt Multimedia) facilities.
target_sources(kovra_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/curl_mail_sender.h ${CMAKE_CURRENT_LIST_DIR}/curl_mail_sender.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mail_text.h ${CMAKE_CURRENT_LIST_DIR}/mail_text.cpp)
target_sources(kovra_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/qt_sound_player.h ${CMAKE_CURRENT_LIST_DIR}/qt_sound_player.cpp)
