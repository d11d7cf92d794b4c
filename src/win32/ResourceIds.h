// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Resource numbers shared by fernwick.rc and the views. Plain macros: windres reads this file too.
#define FW_IDI_PROGRAM 1 // the program's icon (first: Explorer shows it for the .exe)
#define FW_IDI_DELETE 2  // toolbar: Delete
#define FW_IDI_SEARCH 3  // toolbar: Search
#define FW_IDI_ROW 4     // a listed device's small icon
