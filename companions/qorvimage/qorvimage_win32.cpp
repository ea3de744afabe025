// Win32 only: the exports of QORVimage.dll, the image painting library behind
// the edit panes' background pictures. So far only the version the editor
// checks at start.
#include "companions/qorvimage/qorvimage_win32.h"

namespace {

constexpr int kVersion = 372;

}  // namespace

extern "C" {

int WINAPI GetQORVimage_version(void) { return kVersion; }

}  // extern "C"
