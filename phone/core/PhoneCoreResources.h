#pragma once

// The dialog templates of the phone link's shared windows: empty pages that the skins lay out.

#include "platform.h"

inline constexpr UINT IDD_PHONE_MESSAGE = 3100;

// Adds the templates to the resources of the running program, once.
void AddPhoneCoreDialogs();
