#include "display/platform.h"
