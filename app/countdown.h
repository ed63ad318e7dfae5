// Countdown arithmetic of the automatic capture cycle, free of any window.
#pragma once
