# Every picture of Vantor Tavrel, one picture() call each:
#
#   picture(<file> <width> <height> <kind> [<argument>...] [LABEL <key>])
#
# The including script defines picture(): src/resources/CMakeLists.txt collects the
# file names as build outputs, Pictures.cmake draws them. Pictures.rc names the same
# files. Sizes are the design pixels at which the program lays the pictures out.
# A picture with a LABEL carries text and is drawn once per language; the English
# module's copy then takes the place of the Korean one of the same file name.
#
# Kinds and their arguments:
#   button     <background> <state> <glyph>    plate with a glyph (and label, if any)
#   textbutton <background> <style> <state>    dialog button with its label only
#   swatch     <background> <state> <rrggbb>   pen colour choice (hex, no "#")
#   pensize    <background> <state> <width>    pen width choice
#   close      <background>                    close cross on a title band
#   backdrop, banner, editframe, separator, msgpanel, msgicon, mini, spinner, cursor
# States: normal, hover, checked (pressed in, "on"), disabled.

# Title band and close button shared by the panel, the login dialog and message boxes.
picture(close.bmp 39 34 close title)
picture(fold.bmp 39 34 button title normal fold)
picture(fold_checked.bmp 39 34 button title checked unfold)

# Main control panel: backdrop and the feature buttons lying on it.
picture(panel_backdrop.bmp 160 225 backdrop)
foreach(state normal hover checked disabled)
  picture(remote_${state}.bmp 50 64 button card ${state} remote LABEL remote)
  picture(screenup_${state}.bmp 50 64 button card ${state} screenup LABEL screenup)
  picture(touch_${state}.bmp 50 64 button card ${state} hand LABEL touch)
  picture(broadcast_${state}.bmp 50 64 button card ${state} broadcast LABEL broadcast)
endforeach()
picture(keyboard.bmp 56 28 button card normal keyboard LABEL keyboard)
picture(monitor_normal.bmp 56 28 button card normal monitor LABEL monitor)
picture(monitor_hover.bmp 56 28 button card hover monitor LABEL monitor)
picture(notetool.bmp 56 28 button card normal pencil LABEL notetool)
picture(sound_normal.bmp 56 28 button card normal speaker LABEL sound)
picture(sound_checked.bmp 56 28 button card checked speaker LABEL sound)
picture(mini.png 70 70 mini)

# Login dialog.
picture(login_banner.bmp 376 89 banner LABEL banner)
picture(login_idframe.bmp 252 29 editframe)
picture(login_separator.bmp 341 2 separator)
foreach(state normal hover)
  picture(login_ok_${state}.bmp 67 34 textbutton body primary ${state} LABEL ok)
  picture(login_cancel_${state}.bmp 67 34 textbutton body secondary ${state} LABEL cancel)
endforeach()

# Message box and loading window.
picture(msg_panel.bmp 470 124 msgpanel)
picture(msg_icon.bmp 55 50 msgicon)
picture(msg_ok_normal.bmp 67 34 textbutton box primary normal LABEL ok)
picture(msg_ok_hover.bmp 67 34 textbutton box primary hover LABEL ok)
picture(msg_cancel_normal.bmp 67 34 textbutton box secondary normal LABEL cancel)
picture(msg_cancel_hover.bmp 67 34 textbutton box secondary hover LABEL cancel)
picture(msg_yes.bmp 67 34 textbutton box primary normal LABEL yes)
picture(msg_no.bmp 67 34 textbutton box secondary normal LABEL no)
picture(spinner.gif 66 66 spinner)

# Note tool palette: close on its red title band, mode buttons on the pink band,
# tools, pen sizes and colours on the grey panel, the last two buttons on pink again.
picture(note_close.bmp 39 34 close notetitle)
foreach(state normal hover checked)
  picture(note_touchmode_${state}.bmp 46 46 button notepink ${state} hand)
  picture(note_boardmode_${state}.bmp 46 46 button notepink ${state} board)
  picture(note_whiteboard_${state}.bmp 46 46 button notepink ${state} whiteboard)
  picture(note_draw_${state}.bmp 39 38 button notegrey ${state} pencil)
  picture(note_erase_${state}.bmp 39 38 button notegrey ${state} eraser)
  picture(note_clear_${state}.bmp 39 38 button notegrey ${state} trash)
  picture(note_size1_${state}.bmp 77 30 pensize notegrey ${state} 2)
  picture(note_size2_${state}.bmp 77 30 pensize notegrey ${state} 5)
  picture(note_size3_${state}.bmp 77 30 pensize notegrey ${state} 8)
  picture(note_size4_${state}.bmp 77 30 pensize notegrey ${state} 11)
  picture(note_black_${state}.bmp 39 39 swatch notegrey ${state} 141414)
  picture(note_red_${state}.bmp 39 39 swatch notegrey ${state} e60000)
  picture(note_blue_${state}.bmp 39 39 swatch notegrey ${state} 0000e6)
  picture(note_white_${state}.bmp 39 39 swatch notegrey ${state} e6e6e6)
  picture(note_yellow_${state}.bmp 39 39 swatch notegrey ${state} e6e600)
  picture(note_pink_${state}.bmp 39 39 swatch notegrey ${state} e633cc)
  picture(note_green_${state}.bmp 39 39 swatch notegrey ${state} 00e600)
  picture(note_cyan_${state}.bmp 39 39 swatch notegrey ${state} 1bb7c7)
  picture(note_semi_${state}.bmp 40 40 button notepink ${state} highlighter)
  picture(note_save_${state}.bmp 40 40 button notepink ${state} save)
endforeach()

# Overlay cursors: the hot spot is the pen tip, and the middle of the erased square.
picture(pen.cur 32 32 cursor pencil 1 30)
picture(eraser.cur 32 32 cursor eraser 16 16)
