#pragma once

// Streamwell's classes are exported whole: Telvix and its screens use their fields directly.
#ifndef STREAMWELL_API
#    define STREAMWELL_API __attribute__((visibility("default")))
#endif
