/* Resource and command identifiers, read by both the compiler and windres. */
#pragma once

#define STR_APP_TITLE 103
#define STR_WINDOW_CLASS 109

#define MENU_MAIN 109

#define ACCEL_MAIN 109

#define DLG_ABOUT 103

#define CMD_ABOUT 104
#define CMD_EXIT 105

#define ICON_APP 107
#define ICON_APP_SMALL 108

#define CTL_ABOUT_ICON 2
