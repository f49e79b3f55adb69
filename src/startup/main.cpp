// The platform entry. On Windows END_OF_MAIN supplies WinMain, which hands
// this main to the library's own entry; elsewhere it expands to nothing.
#include <allegro.h>

#include "startup/game_main.h"

int main(int argc, char **argv) { return game_main(argc, argv); }
END_OF_MAIN()
