#include "tests/host/recording_output.h"
