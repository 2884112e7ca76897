#pragma once

// The ids of the language texts Dialdeck's screens show (the language files' section "Text").

inline constexpr int TEXT_HF_OFF = 30004, TEXT_HF_ON = 30005;
inline constexpr int TEXT_CONNECT_OFF = 30009, TEXT_CONNECT_ON = 30010;
inline constexpr int TEXT_BT_OFF = 30011, TEXT_BT_ON = 30012;
inline constexpr int TEXT_UNKNOWN_NAME = 30021;
inline constexpr int TEXT_UNKNOWN_NUMBER = 30022;
inline constexpr int TEXT_CALL_ACTIVE = 30200;
inline constexpr int TEXT_CALL_ANSWERED = 30201;
// The dial pad's captions.
inline constexpr int TEXT_DIAL_CALL = 30520, TEXT_DIAL_END_CALL = 30521;
