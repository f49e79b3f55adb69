// SPDX-License-Identifier: MIT
// The best score between runs: "hiscore.zrn" in the current folder.
#ifndef ZARN_HISCORE_H
#define ZARN_HISCORE_H

// Room enough for what the calls below say, a folder's whole path included.
enum { HISCORE_WHY_SIZE = 4608 };

// The stored best score, or 100 when there is none to read. When the file
// exists but can't be read, `why` gets a line saying so (it is then left
// alone by every save); otherwise it is emptied.
int load_hiscore(char *why, int why_size);
// Stores the larger of value and the score the file holds now, replacing the
// file only once the new one is on disk. Returns 0, or -1 when a better
// score than the file's was lost, with `why` holding the text for the
// player. Does nothing before load_hiscore, and may be called at any moment
// after it.
int save_hiscore(int value, char *why, int why_size);
// The same, only when value is above the score loaded at the start: for a
// run that ends other than through QUIT.
int save_hiscore_if_raised(int value, char *why, int why_size);

#endif
