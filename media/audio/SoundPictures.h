#pragma once

#include "platform.h"

// Puts the sound dialog's pictures and its dialog into the module's resources.
void add_sound_pictures(HINSTANCE module);
