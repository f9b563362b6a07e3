// Resource and command identifiers of the tray program. The menu commands
// are also what other programs (and the tests) post as WM_COMMAND.
#pragma once

// The lowest icon id is the program's own icon: the blocking one.
#define IDI_BLOCKING 1
#define IDI_ALLOWING 2

#define IDM_HELP 101
#define IDM_COOKIE_MANAGER 102
#define IDM_WHITE_LIST 103
#define IDM_WAVE_SOUND 104
#define IDM_INTERNAL_SOUND 105
#define IDM_NO_SOUND 106
#define IDM_BLOCK_MESSENGER 107
#define IDM_ALLOW_MESSENGER 108
#define IDM_BLOCK_ALL_POPUP 109
#define IDM_BLOCK_AD_POPUP_HIGH 110
#define IDM_BLOCK_AD_POPUP_DEFAULT 111
#define IDM_BLOCK_AD_POPUP_LOW 112
#define IDM_ALLOW_POPUP 113
// Shown above Help only after a block whose site can be allowed.
#define IDM_ALLOW_SITE 114
// The "Blocked Pop-ups" submenu, above Help while the list has entries: its
// entries (at most kBlockedMenuEntries) from IDM_BLOCKED_FIRST, then Clear.
#define IDM_CLEAR_BLOCKED 119
#define IDM_BLOCKED_FIRST 120

// Control ids of the three hidden buttons.
#define IDC_FORM_CLOSE 201
#define IDC_BLOCK 202
#define IDC_BLOCK_NSAOL 203

// The notification-area icon's callback message (WM_APP + 1): one of the
// tray's own, which the pointer moving over the window is never taken for.
#define WM_TRAY_ICON 0x8001
