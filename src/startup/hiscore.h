// SPDX-License-Identifier: MIT
#ifndef ZARN_HISCORE_H
#define ZARN_HISCORE_H

// The stored best score, or 100 when there is none to read. A file that
// exists but can't be read is said on stderr and left alone by the save.
int load_hiscore();
// Stores the larger of value and the score the file holds now, replacing the
// file only once the new one is on disk; a failure that loses a better score
// is said in a message box. Does nothing before load_hiscore, and may be
// called at any moment after it.
void save_hiscore(int value);
// The same, only when value is above the score loaded at the start: for a
// run that ends other than through QUIT.
void save_hiscore_if_raised(int value);

#endif
