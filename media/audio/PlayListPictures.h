#pragma once

#include "platform.h"

// Puts the play list editor's and the file browser's pictures and dialogs into the module's
// resources.
void add_playlist_resources(HINSTANCE module);
