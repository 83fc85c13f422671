# The one-of-a-kind pictures of Pictures.cmake: backdrops, the login banner, the
# message box's panel, the folded panel's button, the loading spinner and cursors.

# Behind the panel's feature buttons: one card, split by two rules into the rows of
# remote control, screen up and the student pads.
function(draw_backdrop file w h)
  math(EXPR right "${w} - 2")
  math(EXPR bottom "${h} - 2")
  math(EXPR rule_end "${w} - 12")
  set(mvg "fill '${colour_card}'\nstroke '${colour_line}'\nstroke-width 1\n")
  string(APPEND mvg "roundrectangle 0.5,0.5 ${right}.5,${bottom}.5 8,8\n")
  string(APPEND mvg "line 12,76.5 ${rule_end},76.5\nline 12,151.5 ${rule_end},151.5\n")
  render(${file} ${w} ${h} "${colour_body}" "${mvg}")
endfunction()

# Login banner: the program's mark (a pen on a pad, as in the icon), its name and a
# line saying what to do.
function(draw_banner file w h label_key)
  label_text(text ${label_key})
  set(mvg "")
  append_mark(mvg 260 150 600)
  append_text(mvg "Vantor Tavrel" 1080 440 25 "#eef4f5" start)
  append_text(mvg "${text}" 1090 680 12.5 "#96a2a3" start)
  render(${file} ${w} ${h} "${colour_body}" "${mvg}")
endfunction()

# Appends the mark of the icon (pad outline and pen) scaled into a square of `size`
# tenths of a pixel at (x, y) tenths.
function(append_mark var x10 y10 size10)
  decimal(x ${x10} 10)
  decimal(y ${y10} 10)
  math(EXPR size1000 "${size10} * 100 / 200")
  decimal(scale ${size1000} 1000)
  set(${var} "${${var}}push graphic-context\ntranslate ${x},${y}\nscale ${scale},${scale}\n\
translate -38,-40\n\
fill none\nstroke '${colour_accent}'\nstroke-width 16\nroundrectangle 46,52 174,208 18,18\n\
fill '#e6f7fa'\nstroke '${colour_body}'\nstroke-width 10\npath 'M 100 184 L 114 138 L 192 60 L 224 92 L 146 170 Z'\n\
fill '${colour_accent}'\nstroke none\npath 'M 100 184 L 108 158 L 126 176 Z'\n\
pop graphic-context\n" PARENT_SCOPE)
endfunction()

# The frame behind the teacher ID edit: the edit's own colour, a person glyph in the
# part left of the edit.
function(draw_editframe file w h)
  math(EXPR right "${w} - 2")
  math(EXPR bottom "${h} - 2")
  set(mvg "fill '#1e1d1e'\nstroke '#3a4560'\nstroke-width 1\n")
  string(APPEND mvg "roundrectangle 0.5,0.5 ${right}.5,${bottom}.5 4,4\n")
  string(APPEND mvg "line 25.5,5 25.5,23\n")
  append_glyph(mvg user 40 55 18 "${colour_accent}" "#1e1d1e")
  render(${file} ${w} ${h} "${colour_body}" "${mvg}")
endfunction()

# A two-pixel engraved rule: a dark row over a light one.
function(draw_separator file w h)
  execute_process(
    COMMAND "${CONVERT}" -size ${w}x1 "xc:#11161f" -size ${w}x1 "xc:#323c54" -append
            -type TrueColor "BMP3:${OUT}/${file}"
    RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Pictures: drawing ${file} failed (${result}): ${error}")
  endif()
endfunction()

# The message box's inner panel; the program writes the message on it and puts the
# message picture at (24, 34) of it.
function(draw_msgpanel file w h)
  math(EXPR right "${w} - 2")
  math(EXPR bottom "${h} - 2")
  set(mvg "fill '${colour_body}'\nstroke '${colour_line}'\nstroke-width 1\n")
  string(APPEND mvg "roundrectangle 0.5,0.5 ${right}.5,${bottom}.5 8,8\n")
  string(APPEND mvg "stroke none\nfill '${colour_accent}'\nroundrectangle 0,18 3,105 1.5,1.5\n")
  render(${file} ${w} ${h} "${colour_box}" "${mvg}")
endfunction()

function(draw_msgicon file w h)
  set(mvg "")
  math(EXPR x10 "(${w} - 42) * 5")
  math(EXPR y10 "(${h} - 42) * 5")
  append_glyph(mvg alert ${x10} ${y10} 42 "${colour_accent}" "${colour_body}")
  render(${file} ${w} ${h} "${colour_body}" "${mvg}")
endfunction()

# The folded panel: a round button with the program's mark, transparent around it
# (drawn with per-pixel alpha into a layered window).
function(draw_mini file w h)
  math(EXPR mid "${w} / 2")
  math(EXPR edge "${mid} + ${mid} - 3")
  set(mvg "fill '${colour_body}'\nstroke '${colour_accent}'\nstroke-width 3\n")
  string(APPEND mvg "circle ${mid},${mid} ${edge},${mid}\n")
  math(EXPR mark10 "${w} * 10 * 11 / 20")
  math(EXPR at10 "(${w} * 10 - ${mark10}) / 2 + 10")
  append_mark(mvg ${at10} ${at10} ${mark10})
  render(${file} ${w} ${h} none "${mvg}")
endfunction()

# The loading spinner: twelve dots on a ring, a bright head running clockwise with a
# fading tail; twelve full frames of 100 ms on the loading window's colour.
set(spinner_dots
  "33,10" "44.5,13.08" "52.92,21.5" "56,33" "52.92,44.5" "44.5,52.92"
  "33,56" "21.5,52.92" "13.08,44.5" "10,33" "13.08,21.5" "21.5,13.08")
function(draw_spinner file w h)
  # Head to tail: accent fading into the dim dot colour over eight steps.
  set(fade "#03cfe3" "#07b6cc" "#0c9cb4" "#11839c" "#166a84" "#1b556f" "#21455e" "#263a52")
  set(frames "")
  foreach(frame RANGE 0 11)
    set(mvg "stroke none\n")
    foreach(dot RANGE 0 11)
      math(EXPR age "(${frame} - ${dot} + 12) % 12")
      if(age GREATER 7)
        set(age 7)
      endif()
      list(GET fade ${age} colour)
      list(GET spinner_dots ${dot} centre)
      string(REPLACE "," ";" xy "${centre}")
      list(GET xy 0 x)
      list(GET xy 1 y)
      math(EXPR radius10 "45 - ${age} * 2")
      decimal(radius ${radius10} 10)
      string(APPEND mvg "fill '${colour}'\npush graphic-context\ntranslate ${x},${y}\ncircle 0,0 ${radius},0\npop graphic-context\n")
    endforeach()
    set(name "spinner${frame}.png")
    if(frame LESS 10)
      set(name "spinner0${frame}.png")
    endif()
    render(${name} ${w} ${h} "${colour_wait}" "${mvg}")
    list(APPEND frames "${OUT}/${name}")
  endforeach()
  # Disposal 0 (unspecified) and one shared colour table for all frames.
  execute_process(
    COMMAND "${CONVERT}" -delay 10 -loop 0 -dispose Undefined ${frames} +remap
            "GIF:${OUT}/${file}"
    RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Pictures: spinner failed (${result}): ${error}")
  endif()
  file(REMOVE ${frames})
endfunction()

# Overlay cursors: dark ink with a light outline so that they show on any drawing.
# The pen's tip and the middle of the eraser's square (the 32 x 32 area an eraser
# stroke restores) are the hot spots.
function(draw_cursor file w h glyph hotspot_x hotspot_y)
  set(mvg "")
  if(glyph STREQUAL "pencil")
    # The pencil glyph's tip is at (4, 20) of its 24 x 24 box; at 28 pixels that is
    # (4.67, 23.33), moved onto the hot spot.
    math(EXPR x10 "${hotspot_x} * 10 - 47")
    math(EXPR y10 "${hotspot_y} * 10 - 233")
    set(outline "")
    append_glyph(outline pencil ${x10} ${y10} 28 "#ffffff" "#ffffff")
    string(REPLACE "stroke-width 1.8" "stroke-width 4.2" outline "${outline}")
    string(APPEND mvg "${outline}")
    append_glyph(mvg pencil ${x10} ${y10} 28 "#141a26" "#ffffff")
  else()
    math(EXPR last "${w} - 2")
    set(square "rectangle 1.5,1.5 ${last}.5,${last}.5\n")
    string(APPEND mvg "fill none\nstroke '#ffffff'\nstroke-width 3\n${square}")
    string(APPEND mvg "stroke '#141a26'\nstroke-width 1\n${square}")
    math(EXPR edge "${hotspot_x} + 2")
    string(APPEND mvg "fill '#141a26'\nstroke '#ffffff'\n")
    string(APPEND mvg "circle ${hotspot_x}.5,${hotspot_y}.5 ${edge}.5,${hotspot_y}.5\n")
  endif()
  string(REPLACE ".cur" ".png" png "${file}")
  render(${png} ${w} ${h} none "${mvg}")
  write_cursor("${OUT}/${png}" "${OUT}/${file}" ${hotspot_x} ${hotspot_y})
endfunction()
