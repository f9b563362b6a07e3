#pragma once
#define IDI_MANAGER 1
#define IDB_SKIN_PAGE 101
#define IDB_SKIN_MESSAGE 102
