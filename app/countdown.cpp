#include "countdown.h"
