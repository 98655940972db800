#include "psError.h"
