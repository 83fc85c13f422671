# Low-level helpers of Pictures.cmake: numbers, drawing fragments in ImageMagick's
# vector language (MVG), rendering, and the byte-level cursor file.
#
# CMake has integer arithmetic only; coordinates that need a fraction are written as
# text by decimal() below.

# out = numerator / denominator as a decimal text with three digits after the point.
function(decimal out numerator denominator)
  math(EXPR thousandths "(${numerator} * 1000) / ${denominator}")
  set(sign "")
  if(thousandths LESS 0)
    set(sign "-")
    math(EXPR thousandths "-(${thousandths})")
  endif()
  math(EXPR whole "${thousandths} / 1000")
  math(EXPR part "${thousandths} % 1000 + 1000")
  string(SUBSTRING "${part}" 1 3 part)
  set(${out} "${sign}${whole}.${part}" PARENT_SCOPE)
endfunction()

# Appends a glyph from glyphs/<name>.mvg, drawn in a 24 x 24 box, scaled to `size`
# pixels with its top-left corner at (x, y) given in tenths of a pixel. @INK@ in the
# glyph becomes `ink`, @PLATE@ the colour of the plate it lies on (for cut-outs).
function(append_glyph var name x10 y10 size ink plate)
  set(file "${ART_DIR}/glyphs/${name}.mvg")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "Pictures: no glyph ${name} (${file})")
  endif()
  file(STRINGS "${file}" lines ENCODING UTF-8)
  set(body "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[ \t]*#" AND NOT line STREQUAL "")
      string(APPEND body "${line}\n")
    endif()
  endforeach()
  string(REPLACE "@INK@" "${ink}" body "${body}")
  string(REPLACE "@PLATE@" "${plate}" body "${body}")
  decimal(x ${x10} 10)
  decimal(y ${y10} 10)
  decimal(scale ${size} 24)
  set(${var} "${${var}}push graphic-context\ntranslate ${x},${y}\nscale ${scale},${scale}\n${body}pop graphic-context\n" PARENT_SCOPE)
endfunction()

# Appends one line of text. `anchor` is start, middle or end; (x, y) is the baseline
# point in tenths of a pixel.
function(append_text var text x10 y10 size colour anchor)
  if(text MATCHES "'")
    message(FATAL_ERROR "Pictures: a label may not contain a quote: ${text}")
  endif()
  decimal(x ${x10} 10)
  decimal(y ${y10} 10)
  set(${var} "${${var}}push graphic-context\nfont '${FONT}'\nfont-size ${size}\nfill '${colour}'\nstroke none\ntext-anchor ${anchor}\ntext ${x},${y} '${text}'\npop graphic-context\n" PARENT_SCOPE)
endfunction()

# out = the largest of the given font sizes (largest first) at which `text` is at most
# `max_width` pixels wide; the smallest when none fits.
function(fit_font_size out text max_width)
  foreach(candidate IN LISTS ARGN)
    set(size ${candidate})  # the loop variable does not outlive the loop
    execute_process(
      COMMAND "${CONVERT}" -font "${FONT}" -pointsize ${size} "label:${text}" -format %w info:
      OUTPUT_VARIABLE width RESULT_VARIABLE result ERROR_VARIABLE error)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "Pictures: measuring '${text}' failed (${result}): ${error}")
    endif()
    if(width LESS_EQUAL max_width)
      break()
    endif()
  endforeach()
  set(${out} ${size} PARENT_SCOPE)
endfunction()

# Appends a rounded plate covering a w x h picture, with a 1-pixel border.
function(append_plate var w h radius fill border)
  math(EXPR right "${w} - 1")
  math(EXPR bottom "${h} - 1")
  set(${var} "${${var}}fill '${fill}'\nstroke '${border}'\nstroke-width 1\nroundrectangle 0.5,0.5 ${right}.5,${bottom}.5 ${radius},${radius}\n" PARENT_SCOPE)
  # The .5 keeps the 1-pixel border on whole pixels; the right and bottom edges
  # then lie half a pixel outside, which the clip of the canvas trims evenly.
endfunction()

# Renders `mvg` (drawing commands without the viewbox) into OUT/<file>. The kind of
# file follows from its name: .bmp is a 24-bit Windows bitmap that LoadBitmap reads
# (no alpha, no palette), .png keeps an alpha channel. Extra convert arguments may
# follow; `background` is the canvas colour before drawing ("none" = transparent).
function(render file w h background mvg)
  set(source "${OUT}/mvg/${file}.mvg")
  file(WRITE "${source}" "viewbox 0 0 ${w} ${h}\n${mvg}")
  if(file MATCHES "\\.bmp$")
    set(target -type TrueColor "BMP3:${OUT}/${file}")
  elseif(file MATCHES "\\.png$")
    set(target -depth 8 "PNG32:${OUT}/${file}")
  else()
    message(FATAL_ERROR "Pictures: cannot render ${file}")
  endif()
  execute_process(
    COMMAND "${CONVERT}" -background "${background}" -size ${w}x${h} "mvg:${source}" ${target}
    RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Pictures: drawing ${file} failed (${result}): ${error}")
  endif()
endfunction()

# Turns a 32 x 32 picture with alpha into a Windows cursor file with its hot spot.
# ImageMagick writes icons only, so its one-image .ico is patched: the file type
# becomes 2 (cursor) and the directory entry's planes and bit-count words become the
# hot spot. CMake cannot write bytes other than text, so the patched bytes go out as
# a plain-text grey map of one row that ImageMagick stores back as raw bytes.
function(write_cursor png cur hotspot_x hotspot_y)
  set(ico "${OUT}/mvg/cursor.ico")
  execute_process(COMMAND "${CONVERT}" "${png}" "ICO:${ico}"
                  RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Pictures: cursor image ${png} failed (${result}): ${error}")
  endif()
  file(READ "${ico}" hex HEX)
  string(SUBSTRING "${hex}" 0 12 head)
  if(NOT head STREQUAL "000001000100")
    message(FATAL_ERROR "Pictures: ${ico} is not a one-image icon")
  endif()
  math(EXPR x_low "${hotspot_x} % 256" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR y_low "${hotspot_y} % 256" OUTPUT_FORMAT HEXADECIMAL)
  foreach(v x_low y_low)
    string(REPLACE "0x" "" ${v} "${${v}}")
    string(LENGTH "${${v}}" n)
    if(n EQUAL 1)
      set(${v} "0${${v}}")
    endif()
  endforeach()
  string(SUBSTRING "${hex}" 8 12 entry)    # image count, width, height, colours, reserved
  string(SUBSTRING "${hex}" 28 -1 rest)    # bytes in image, offset, image
  set(hex "00000200${entry}${x_low}00${y_low}00${rest}")

  string(LENGTH "${hex}" digits)
  math(EXPR count "${digits} / 2")
  math(EXPR last "${count} - 1")
  set(values "")
  foreach(i RANGE 0 ${last})
    math(EXPR at "${i} * 2")
    string(SUBSTRING "${hex}" ${at} 2 byte)
    math(EXPR value "0x${byte}")
    string(APPEND values "${value}\n")
  endforeach()
  set(pgm "${OUT}/mvg/cursor.pgm")
  file(WRITE "${pgm}" "P2\n${count} 1\n255\n${values}")
  execute_process(COMMAND "${CONVERT}" "pgm:${pgm}" -depth 8 "GRAY:${cur}"
                  RESULT_VARIABLE result ERROR_VARIABLE error)
  file(SIZE "${cur}" written)
  if(NOT result EQUAL 0 OR NOT written EQUAL count)
    message(FATAL_ERROR "Pictures: writing ${cur} failed (${result}): ${error}")
  endif()
endfunction()
