#pragma once
// What every reading and writing of a named file holds to: an output replaces a regular file or
// makes a new one, never a device, pipe or folder; a named pipe is read once its writer is there.
#include <string>

namespace kijunchi {

// Why an output may not be written at path: a device (/dev/full), pipe, socket or folder stands
// there. Empty for a regular file (replaced whole by its writer) or a path that names nothing yet.
std::string outputRefusal(const std::string& path);

// For a file opened without blocking (so that open() of a named pipe does not wait for ever):
// waits a few seconds for the pipe's writer, then leaves fd blocking. A byte the wait read is put
// in head, to be read before the rest. False when no writer came (or it wrote nothing), so that
// the pipe is refused rather than read as an empty file or waited on for ever. Any other file:
// true at once.
bool awaitPipeWriter(int fd, std::string& head);

}  // namespace kijunchi
