# The movie window's presentation pieces. The pixel drawing, the drag rule
# and the window's creation parameters need no Windows API and build in every
# configuration; the frame bitmap, the layered presentation and the frame
# helpers only for Windows.
add_library(reelo_present_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/UFramePixels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UMovieDrag.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UMovieWindowStyle.cpp)
target_link_libraries(reelo_present_core PUBLIC reelo_options)

if(WIN32)
  add_library(reelo_present STATIC
    ${CMAKE_CURRENT_LIST_DIR}/USimpleDIB.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UDrawSample.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ULayeredPresent.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UMovieFrame.cpp)
  target_link_libraries(reelo_present PUBLIC reelo_present_core reelo_win gdi32 user32 ole32 strmiids uuid)
endif()
