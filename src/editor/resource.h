/* The editor's resource ids and private window messages, shared by the .rc files and the code.
   Plain #defines, since the resource compiler reads this header too. Control ids repeat between
   the two dialogs (1019 is "Delete band" in the main window and the frequency box in the band
   panel): an id names a control only within its dialog. */
#ifndef TARNWELL_EDITOR_RESOURCE_H
#define TARNWELL_EDITOR_RESOURCE_H

/* Dialogs and menus. */
#define IDD_EDITOR 101
#define IDD_BAND_PANEL 103
#define IDR_GRAPH_MENU 104

/* Main window (dialog 101). */
#define IDC_OUTPUT_GAIN_EDIT 1011
#define IDC_ADD_BAND 1018
#define IDC_DELETE_BAND 1019
#define IDC_RESET_DEFAULTS 1020
#define IDC_SHOW_GRID 1022
#define IDC_GRAPH 1023
#define IDC_BAND_TABS 1026
#define IDC_BAND_PANEL_PLACE 1028
#define IDC_SHOW_TABS 1029
#define IDC_SOLO_BAND 1030
#define IDC_BANNER 1034
#define IDC_OUTPUT_GAIN_FADER 1047
#define IDC_INPUT_METER 1088
#define IDC_OUTPUT_METER 1089

/* Band settings panel (dialog 103). */
#define IDC_FREQUENCY_EDIT 1019
#define IDC_THRESHOLD_EDIT 1020
#define IDC_RATIO_EDIT 1021
#define IDC_KNEE_EDIT 1022
#define IDC_FREQUENCY_FADER 1023
#define IDC_ATTACK_EDIT 1024
#define IDC_RATIO_FADER 1025
#define IDC_KNEE_FADER 1026
#define IDC_RMS_EDIT 1028
#define IDC_PROGRAM_RELEASE 1029
#define IDC_GAIN_EDIT 1030
#define IDC_AUTO_MAKEUP 1031
#define IDC_FEEDBACK 1032
#define IDC_ACTIVE 1033
#define IDC_LOG_SCALE_AUTOMATION 1034
#define IDC_THRESHOLD_FADER 1045
#define IDC_GAIN_FADER 1046
#define IDC_ATTACK_FADER 1072
#define IDC_RELEASE_FADER 1074
#define IDC_RELEASE_EDIT 1075
#define IDC_RMS_FADER 1079

/* Response graph context menu (menu 104): the commands the portable menu model shares. */
#include "editor/core/graph_menu_ids.h"

/* Private messages. */
#define METER_SETLEVELS 2034       /* wParam, lParam: levels of channels 0 and 1, tenths of a dB */
#define METER_SETMODE 7924         /* lParam 1: gain-reduction mode, otherwise level mode */
#define FADER_QUERYTRACKCOLOR 6064 /* to the parent: wParam the fader, lParam a COLORREF* to fill */
#define MSG_REFRESH_TABS 7690      /* to the main window: tabs and output controls from the instance */
#define MSG_REFRESH_BAND 2663      /* to the band panel: controls from the current band; lParam an edit id to skip */
#define METER_SETSCALE 7926        /* wParam: the dpi the meter draws for (96 draws as at 96 dpi) */

/* Fader messages (the numbers and argument packing of the system trackbar's). */
#define FADER_GETPOS 0x400      /* WM_USER: the position as the caller sees it */
#define FADER_SETDEFAULT 0x404  /* lParam: the position a double-click restores, negative for 0 dB */
#define FADER_SETPOS 0x405      /* lParam: a new position, ignored during a drag */
#define FADER_SETRANGE 0x406    /* lParam: minimum in the low word, maximum in the high word */
#define FADER_SETLEVELS 0x40A   /* vertical fader, lParam: left and right level overlay, 0..1000 each */
#define FADER_SETSCALE 0x40B    /* wParam: the dpi the fader draws its thumb and track for */

/* Fader window words (byte offsets for GetWindowLongA; hosts' dialogs write the flags directly). */
#define FADER_WINDOW_BYTES 48
#define FADER_WORD_FLAGS 0
#define FADER_WORD_STORED_POSITION 8
#define FADER_WORD_DEFAULT_POSITION 16
#define FADER_WORD_LEVEL_OVERLAY 24
#define FADER_WORD_RANGE 32
#define FADER_WORD_DPI 40
#define FADER_NO_TRACK_COLOR_QUERY 1
#define FADER_NO_DEFAULT_LINE 2

/* Timers. */
#define WheelSettleTimer 32
#define EDITOR_REFRESH_TIMER 1 /* 100 ms: picks up host changes */
#define EDITOR_METER_TIMER 2   /* 33 ms: graph repaint and meters */

#endif
