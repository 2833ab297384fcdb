#pragma once
// Copies a file's contents from one descriptor to another inside the kernel: copy_file_range
// first (which also lets a file system share blocks), sendfile where that is refused, and plain
// reads and writes as the last way. A file with holes keeps them: only its data is copied, and
// the copy is given the same length, as cp does. It does not deal with names, times or
// attributes.

#include <sys/stat.h>
#include <sys/types.h>

namespace stowix::posix {

// Copies from input's offset to its end into output (a file with holes from its start; output is
// then a new, empty file). expectedSize: the input's size when it was opened, which spares the
// last call that would only find the end. mayHaveHoles: false where the input's allocated blocks
// cover its size (MayHaveHoles below), which spares the two calls that look for holes. Gives 0,
// or the host's errno.
int CopyContents(int input, int output, off_t expectedSize, bool mayHaveHoles = true);

// False for a file whose allocated blocks cover its whole size, which therefore has no holes.
bool MayHaveHoles(const struct stat& info);

}  // namespace stowix::posix
