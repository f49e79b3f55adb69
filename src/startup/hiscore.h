#ifndef ZARN_HISCORE_H
#define ZARN_HISCORE_H

// The stored best score, or 100 when there is none to read.
int load_hiscore();
// Nothing is written when the file can't be opened for writing.
void save_hiscore(int value);

#endif
