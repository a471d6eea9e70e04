/* The response graph's context menu commands: the menu resource's item ids on Windows and the
   commands of the portable menu model (graph_menu.h) everywhere. Plain #defines, since the
   resource compiler reads this header too (through editor/resource.h). */
#ifndef TARNWELL_EDITOR_CORE_GRAPH_MENU_IDS_H
#define TARNWELL_EDITOR_CORE_GRAPH_MENU_IDS_H

#define IDM_ADD_BAND 40001
#define IDM_DELETE_BAND 40002
#define IDM_AUTO_MAKEUP 40016
#define IDM_BAND_ACTIVE 40017
#define IDM_PROGRAM_RELEASE 40018
#define IDM_FEEDBACK 40019
#define IDM_SOLO_BAND 40020
#define IDM_SHOW_TABS 40021
#define IDM_SHOW_GRID 40022

#endif
