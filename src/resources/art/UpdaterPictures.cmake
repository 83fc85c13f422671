# Draws the pictures of the updater VTUpdaterT with ImageMagick:
#
#   cmake -DCONVERT=/usr/bin/convert -DFONT=NanumGothicBold.ttf -DOUT=<folder>
#         -P UpdaterPictures.cmake
#
# The same flat, dark look as the main program: the progress list sits in a framed
# well on the window's body, and Run now is the accent-coloured primary button.
cmake_minimum_required(VERSION 3.25)

foreach(var CONVERT FONT OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "UpdaterPictures: ${var} is not set")
  endif()
endforeach()
get_filename_component(ART_DIR "${CMAKE_CURRENT_LIST_FILE}" DIRECTORY)
include("${ART_DIR}/PictureTools.cmake")
file(MAKE_DIRECTORY "${OUT}/mvg")

set(colour_body "#1d2434")     # body of the updater window
set(colour_well "#201c19")     # the progress list's own background, RGB(32, 28, 25)
set(colour_line "#2f3950")     # outlines on dark backgrounds
set(colour_accent "#03cfe3")
set(colour_dark_ink "#0b1a24")

# Behind the progress list: a well of the list's colour with a quiet outline and a
# thin accent rule along its top, so that the list reads as one framed area.
function(draw_updater_backdrop file w h)
  set(mvg "")
  append_plate(mvg ${w} ${h} 6 "${colour_well}" "${colour_line}")
  math(EXPR rule_end "${w} - 12")
  string(APPEND mvg "stroke '${colour_accent}'\nstroke-width 2\nline 12,2 ${rule_end},2\n")
  render(${file} ${w} ${h} "${colour_body}" "${mvg}")
endfunction()

# Run now: the label centred on an accent plate; hover is a lighter plate.
function(draw_runnow file w h text hover)
  if(hover)
    set(plate "#6ae6f2")
    set(border "#9af1f8")
  else()
    set(plate "${colour_accent}")
    set(border "${colour_accent}")
  endif()
  set(mvg "")
  append_plate(mvg ${w} ${h} 5 "${plate}" "${border}")
  math(EXPR room "${w} - 14")
  fit_font_size(size "${text}" ${room} 13 12.5 12 11.5 11 10.5 10)
  math(EXPR mid10 "${w} * 5")
  # The baseline a little below the middle: capitals and Hangul sit centred.
  math(EXPR base10 "${h} * 5 + 45")
  append_text(mvg "${text}" ${mid10} ${base10} ${size} "${colour_dark_ink}" middle)
  render(${file} ${w} ${h} "${colour_body}" "${mvg}")
endfunction()

draw_updater_backdrop(updater_backdrop.bmp 541 249)
draw_runnow(updater_runnow.bmp 111 34 "바로 실행 하기" OFF)
draw_runnow(updater_runnow_hover.bmp 111 34 "바로 실행 하기" ON)
draw_runnow(updater_runnow_eng.bmp 110 29 "Run now" OFF)
draw_runnow(updater_runnow_eng_hover.bmp 110 29 "Run now" ON)
