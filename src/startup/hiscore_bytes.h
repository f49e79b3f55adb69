// SPDX-License-Identifier: MIT
// The best score's four bytes, least significant first, with the line-end
// translation of a text stream: each byte 0x0A is stored as 0x0D 0x0A, and a
// pair 0x0D 0x0A reads as 0x0A. Streams here do no such translation, so it
// is done by hand, and files written on either system read the same.
#ifndef ZARN_HISCORE_BYTES_H
#define ZARN_HISCORE_BYTES_H

// The most bytes a value takes: four, each perhaps with its 0x0D.
enum { HISCORE_MAX_BYTES = 8 };

// Writes the value's bytes to out; their count.
int encode_hiscore(int value, unsigned char out[HISCORE_MAX_BYTES]);
// The value the first bytes hold: 1, or 0 when fewer than four remain after
// the translation (a file cut short).
int decode_hiscore(const unsigned char *raw, int len, int *value);

#endif
