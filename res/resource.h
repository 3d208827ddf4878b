// Resource ids of the program. The dialog template (2003) has its own file.
#pragma once

#define IDI_PENDRAL 100
#define IDS_SCREEN_SAVER_NAME 1
#define IDS_SETTINGS_SECTION 1007
