# The controller's portable core: play sequencing, volume, window and
# full-screen layout, translucency timers and the movie window's keys.
# No Windows API; built in every configuration.
add_library(reelo_playcore STATIC
  ${CMAKE_CURRENT_LIST_DIR}/UPlayOrder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UVolume.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UVideoLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ULayerTimers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UMovieKeys.cpp)
target_link_libraries(reelo_playcore PUBLIC reelo_options reelo_mediamath reelo_display_core)
