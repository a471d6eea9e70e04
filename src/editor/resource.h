/* The editor's resource ids and private window messages, shared by the .rc files and the code.
   Plain #defines, since the resource compiler reads this header too. */
#ifndef TARNWELL_EDITOR_RESOURCE_H
#define TARNWELL_EDITOR_RESOURCE_H

/* The dialogs and their controls, which the portable editor core lays out too. */
#include "editor/core/control_ids.h"

#define IDR_GRAPH_MENU 104

/* The preset control's "Save preset" dialog: the name box and its label. */
#define IDD_SAVE_PRESET 105
#define IDC_PRESET_NAME 1001
#define IDC_PRESET_NAME_LABEL 1002

/* Response graph context menu (menu 104): the commands the portable menu model shares. */
#include "editor/core/graph_menu_ids.h"

/* Private messages. */
#define METER_SETLEVELS 2034       /* wParam, lParam: levels of channels 0 and 1, tenths of a dB */
#define METER_SETMODE 7924         /* lParam 1: gain-reduction mode, otherwise level mode */
#define FADER_QUERYTRACKCOLOR 6064 /* to the parent: wParam the fader, lParam a COLORREF* to fill */
#define MSG_REFRESH_TABS 7690      /* to the main window: tabs and output controls from the instance */
#define MSG_REFRESH_BAND 2663      /* to the band panel: controls from the current band; lParam an edit id to skip */
#define METER_SETSCALE 7926        /* wParam: the dpi the meter draws for (96 draws as at 96 dpi) */
#define MSG_EDIT_KEY 7692          /* to the main window: wParam IDM_UNDO or IDM_REDO, from the keys */
#define PRESET_SETPRESSED 7693     /* to the preset control: wParam 1 while its menu is open, else 0 */
#define PRESET_SETSCALE 7694       /* to the preset control: wParam the dpi it draws for */

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
