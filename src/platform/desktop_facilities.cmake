# Desktop notifications of alerts (kovra_core: Qt D-Bus) and the "Open with" entry.
target_sources(kovra_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/alert_notifier.h
  ${CMAKE_CURRENT_LIST_DIR}/dbus_alert_notifier.h ${CMAKE_CURRENT_LIST_DIR}/dbus_alert_notifier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session_bus_probe.h ${CMAKE_CURRENT_LIST_DIR}/session_bus_probe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/send_to_entry.h ${CMAKE_CURRENT_LIST_DIR}/send_to_entry.cpp)
