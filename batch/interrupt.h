#pragma once

namespace batch {

// Makes SIGINT and SIGTERM ask the batch to stop instead of ending the program at once, so that
// every run can remove its working files and say that it was interrupted.
void catchInterrupts();

// Whether an interruption has been asked for.
bool interrupted();

}  // namespace batch
