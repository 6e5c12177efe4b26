# One colour-balloon repaint on the window's image canvas beside a plain fill of the view area.
vantrel_bench(views_colour_balloon_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/views_colour_balloon_bench.cpp
  LIBS vantrel_views vantrel_image_canvas)
