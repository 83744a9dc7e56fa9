#pragma once

// Registers the resources compiled into the program (documents, icons,
// translation catalogues, fonts). They live in a static library, so they are
// registered explicitly rather than by static initialisers.
void initResources();
