#pragma once
// What every reading and writing of a named file holds to: an output replaces a regular file or
// makes a new one, never a device, pipe or folder; a named pipe is read once its writer is there.
#include <functional>
#include <string>
#include <string_view>

namespace kijunchi {

// Why an output may not be written at path: a device (/dev/full), pipe, socket or folder stands
// there. Empty for a regular file (replaced whole by its writer) or a path that names nothing yet.
std::string outputRefusal(const std::string& path);

// Writes an output whole and only then puts it in place of path, so that a reader never meets
// half a file and a failure leaves the old file as it was. write fills the file whose path it
// is given and says why it failed (empty when written). Where the file system makes files
// without a name (O_TMPFILE) the new file has none until it is whole: a process killed while
// writing leaves nothing behind; elsewhere a hidden temporary file beside path, removed on
// every failure. Returns outputRefusal's message, or why the write or its placing failed (the
// system's reason, or write's), empty when path holds the new file.
std::string replaceFileWhole(const std::string& path,
                             const std::function<std::string(const std::string& file)>& write);
// The same for bytes already made.
std::string writeBytesWhole(const std::string& path, std::string_view bytes);

// For a file opened without blocking (so that open() of a named pipe does not wait for ever):
// waits a few seconds for the pipe's writer, then leaves fd blocking. A byte the wait read is put
// in head, to be read before the rest. False when no writer came (or it wrote nothing), so that
// the pipe is refused rather than read as an empty file or waited on for ever. Any other file:
// true at once.
bool awaitPipeWriter(int fd, std::string& head);

}  // namespace kijunchi
