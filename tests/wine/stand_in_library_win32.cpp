// A stand-in for one of the editor's libraries in tests: it has the version
// functions of all three, each reporting GV_REPORTED_VERSION, and nothing else.
#include <windows.h>

extern "C" {

int WINAPI GetQORVchar_version(void) { return GV_REPORTED_VERSION; }
int WINAPI GetQORVetc_version(void) { return GV_REPORTED_VERSION; }
int WINAPI GetQORVimage_version(void) { return GV_REPORTED_VERSION; }

}  // extern "C"
