// Stand-in for ServicoVendra.exe: records its switches ("/install") and ends.
#include "marker.h"

int main(void) {
  RecordStart();
  return 0;
}
