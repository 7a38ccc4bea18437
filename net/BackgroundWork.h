#pragma once
// Long file work (writing or reading a category of 100,000 posts) runs on a
// thread of its own while the user-interface thread goes on handling events:
// the windows keep painting and the progress shows. Input is held back until
// the work ends, so no second command starts meanwhile.
#include "store/ProgressIndicator.h"

#include <functional>

namespace BackgroundWork {
// Runs work on a new thread and returns when it has ended. The work steps
// the indicator it is given; its values reach shown (on this thread) every
// few milliseconds and once more at the end. An exception of the work is
// thrown again here.
void run(const std::function<void(ProgressIndicator*)>& work, ProgressIndicator* shown);
} // namespace BackgroundWork
