#pragma once
// While the packages open (about two seconds for a large product), a small window with the
// program's caption and a running progress bar, shown from its own thread once the opening has
// taken longer than half a second.
#include <functional>

namespace uinst {

// Starts the watch; the returned function closes the window (if it appeared) and waits for its
// thread.
std::function<void()> ShowStartupWindow();

}  // namespace uinst
