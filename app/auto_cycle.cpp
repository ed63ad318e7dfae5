// Placeholder until the automatic mode lands.
#include "auto_cycle.h"

void OnAutoCommand() {}
void OnCycleTick() {}
