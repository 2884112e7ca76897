#pragma once

// Streamwell's classes are exported whole: Telvix and its screens use their fields directly.
#define STREAMWELL_API __attribute__((visibility("default")))
