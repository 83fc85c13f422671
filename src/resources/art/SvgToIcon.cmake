# Turns one of our flat SVG drawings into a Windows icon with ImageMagick.
#
#   cmake -DSVG=in.svg -DICO=out.ico -DCONVERT=/usr/bin/convert [-DSIZES=256,48,32,16]
#         -P SvgToIcon.cmake
#
# ImageMagick on the build machines has no SVG reader (no librsvg delegate), but it
# draws the same primitives itself. Our drawings therefore keep to a small subset of
# SVG: <rect> (x, y, width, height, rx, ry), <circle> (cx, cy, r), <line> (x1, y1,
# x2, y2) and <path> (d), each with fill, stroke, stroke-width and stroke-linecap given
# as attributes, integer coordinates, in a square viewBox drawn at its own size. Any
# other element is refused so that a drawing never silently loses a part.
cmake_minimum_required(VERSION 3.25)

foreach(var SVG ICO CONVERT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "SvgToIcon: ${var} is not set")
  endif()
endforeach()
if(NOT DEFINED SIZES)
  set(SIZES "256,48,32,16")
endif()

file(READ "${SVG}" svg)
# Comments may mention element names; they are not drawing.
string(REGEX REPLACE "<!--([^-]|-[^-])*-->" "" svg "${svg}")

# Reads attribute `name` of `element` into `out` (empty when absent). The leading
# blank keeps "d" from matching the tail of another attribute name.
function(svg_attr element name out)
  if(element MATCHES "[ \t\r\n]${name}=\"([^\"]*)\"")
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

function(require_integers element)
  foreach(value IN LISTS ARGN)
    if(NOT value MATCHES "^-?[0-9]+$")
      message(FATAL_ERROR "SvgToIcon: ${SVG}: non-integer coordinate '${value}' in ${element}")
    endif()
  endforeach()
endfunction()

if(NOT svg MATCHES "<svg[^>]*viewBox=\"0 0 ([0-9]+) ([0-9]+)\"")
  message(FATAL_ERROR "SvgToIcon: ${SVG}: needs a viewBox of the form \"0 0 W H\"")
endif()
set(width ${CMAKE_MATCH_1})
set(height ${CMAKE_MATCH_2})

set(args -size ${width}x${height} xc:none)

string(REGEX MATCHALL "<[a-zA-Z][^>]*>" elements "${svg}")
foreach(element IN LISTS elements)
  if(element MATCHES "^<(\\?xml|svg)[ \t\r\n>]")
    continue()
  endif()
  if(NOT element MATCHES "^<([a-z]+)")
    message(FATAL_ERROR "SvgToIcon: ${SVG}: cannot read ${element}")
  endif()
  set(kind ${CMAKE_MATCH_1})

  svg_attr("${element}" fill fill)
  svg_attr("${element}" stroke stroke)
  svg_attr("${element}" stroke-width stroke_width)
  svg_attr("${element}" stroke-linecap linecap)
  if(fill STREQUAL "")
    # SVG fills shapes black unless told otherwise; lines have no inside.
    if(kind STREQUAL "line")
      set(fill none)
    else()
      set(fill black)
    endif()
  endif()
  if(stroke STREQUAL "")
    set(stroke none)
  endif()
  if(stroke_width STREQUAL "")
    set(stroke_width 1)
  endif()
  if(linecap STREQUAL "")
    set(linecap butt)
  endif()

  if(kind STREQUAL "rect")
    foreach(a x y width height rx ry)
      svg_attr("${element}" ${a} ${a})
    endforeach()
    if(rx STREQUAL "")
      set(rx 0)
    endif()
    if(ry STREQUAL "")
      set(ry ${rx})
    endif()
    require_integers("${element}" ${x} ${y} ${width} ${height} ${rx} ${ry})
    math(EXPR right "${x} + ${width}")
    math(EXPR bottom "${y} + ${height}")
    set(primitive "roundrectangle ${x},${y} ${right},${bottom} ${rx},${ry}")
  elseif(kind STREQUAL "circle")
    foreach(a cx cy r)
      svg_attr("${element}" ${a} ${a})
    endforeach()
    require_integers("${element}" ${cx} ${cy} ${r})
    math(EXPR edge "${cx} + ${r}")
    set(primitive "circle ${cx},${cy} ${edge},${cy}")
  elseif(kind STREQUAL "line")
    foreach(a x1 y1 x2 y2)
      svg_attr("${element}" ${a} ${a})
    endforeach()
    require_integers("${element}" ${x1} ${y1} ${x2} ${y2})
    set(primitive "line ${x1},${y1} ${x2},${y2}")
  elseif(kind STREQUAL "path")
    svg_attr("${element}" d d)
    if(d STREQUAL "" OR d MATCHES "'")
      message(FATAL_ERROR "SvgToIcon: ${SVG}: unusable path in ${element}")
    endif()
    set(primitive "path '${d}'")
  else()
    message(FATAL_ERROR "SvgToIcon: ${SVG}: element <${kind}> is not supported")
  endif()

  list(APPEND args -fill ${fill} -stroke ${stroke} -strokewidth ${stroke_width}
       -draw "stroke-linecap ${linecap} ${primitive}")
endforeach()

# 8 bits per channel: Windows reads the 256-pixel PNG entry only as 32-bit RGBA.
list(APPEND args -depth 8 -define icon:auto-resize=${SIZES} "${ICO}")
execute_process(COMMAND "${CONVERT}" ${args} RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0 OR NOT EXISTS "${ICO}")
  message(FATAL_ERROR "SvgToIcon: ${CONVERT} failed (${result}): ${error}")
endif()
