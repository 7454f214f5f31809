// Code page 932 text: the one test for the first byte of a double-byte
// character. Every walk over CP932 bytes (setting files, key paths, file
// names) uses it, since a trail byte may be the byte of "\" (0x5C).
#pragma once

inline bool IsLeadByte932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
