#pragma once

// Starts the plant feed from config.ini's [feed] section and the command line
// (off without a broker), and feeds it what the window takes from the link:
// the state of the line, every status record and the line's events.
void startPlantFeed();
// The clean exit's goodbye to the broker.
void stopPlantFeed();
