/* The ids of the editor's two dialogs and of their controls: the resource file builds the Win32
   dialogs with them and the portable layout names the same controls by them, so both editors
   mean one control by one number. Plain #defines, since the resource compiler reads this header
   too. Ids repeat between the two dialogs (1019 is "Delete band" in the main window and the
   frequency box in the band panel): an id names a control only within its dialog. */
#ifndef TARNWELL_EDITOR_CORE_CONTROL_IDS_H
#define TARNWELL_EDITOR_CORE_CONTROL_IDS_H

/* Dialogs. */
#define IDD_EDITOR 101
#define IDD_BAND_PANEL 103

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
#define IDC_PRESET_CONTROL 1090

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

#endif
