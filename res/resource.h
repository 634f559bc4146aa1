// Resource identifiers shared by Tolvar.rc and the code that loads the resources.
#pragma once

// Application icon: 32x32 and 16x16, 256 colours.
#define IDI_TOLVAR 1
