#pragma once

#include <string>

namespace soil_climate::temporary_files {

// Every output of a run is written under a temporary name in its own folder and renamed
// into place only when it is complete, so no file under a real name is ever cut short.
// The names in use are kept where a signal handler can reach them: SIGINT, SIGTERM,
// SIGHUP and SIGPIPE (the reader of the progress lines has gone) remove them before the
// process ends as the signal asks.

// Installs the handlers, except for a signal that was ignored when the run began; call
// once, before the first output is created.
void remove_on_signals();

// A new temporary name for an output of the run with this prefix, tracked until
// `untrack` is called with the number it returns.
int track_new_name(const std::string& file_prefix, std::string& name);
void untrack(int tracked);

// Tracks a name that the run made itself (the station's lock file) the same way.
int track_name(const std::string& name);

// Removes the temporary files that an earlier run with this prefix left when it crashed.
// Only a run that holds the station's lock calls it, so none of them is in use.
void remove_stale(const std::string& file_prefix);

}  // namespace soil_climate::temporary_files
