#pragma once

namespace sim {

// Makes SIGINT, SIGTERM and SIGHUP end the event loop normally, so that
// destructors run (the --link symlink is removed). Call once, after the
// application object exists.
void quitOnSignals();

} // namespace sim
