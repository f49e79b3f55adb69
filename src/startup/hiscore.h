#ifndef ZARN_HISCORE_H
#define ZARN_HISCORE_H

// The stored best score, or 100 when there is none to read.
int load_hiscore();
// Nothing is written when the file can't be opened for writing.
void save_hiscore(int value);

// The file's bytes, for the loader and its tests: decode gives 0 when fewer
// than four bytes remain after translation; encode writes at most 8 bytes.
int decode_hiscore(const unsigned char *raw, int len, int *value);
int encode_hiscore(int value, unsigned char *out);

#endif
