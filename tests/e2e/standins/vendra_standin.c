// Stand-in for a point-of-sale executable (VendraECF.exe, VendraNFCE.exe,
// VendraMEI.exe): records that it was started and ends.
#include "marker.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR command_line, int show) {
  (void)instance;
  (void)previous;
  (void)command_line;
  (void)show;
  RecordStart();
  return 0;
}
