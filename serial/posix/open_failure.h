// What the POSIX layer keeps of a failed open, and the words for it.
#pragma once

#include <string>

namespace comm {

// errno of the last failed open on this thread (EBUSY when the port is held), and its path.
int LastOpenErrno();
const std::string& LastOpenPath();

// The reason and remedy for err on path, whose device belongs to group; empty when the
// error code says enough.
std::string OpenFailureText(int err, const std::string& path, const std::string& group);

} // namespace comm
