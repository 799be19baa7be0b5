#include "input/readers.h"

// Built on first use, which the plug-in's Init reaches before any other slot.
CDirectCDDA& PlaybackReader() {
  static CDirectCDDA reader;
  return reader;
}

CDirectCDDA& InfoReader() {
  static CDirectCDDA reader;
  return reader;
}
