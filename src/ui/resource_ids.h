#pragma once
// Resource identifiers of Selvane.exe, shared by the resource script and the code.

#define SELVANE_IDI_MAIN 1  // the program icon: the window class's large and small icon
