// The two file operations whose form differs by platform: whether a path still names an
// open file, and replacing a file in one step. Each platform folder defines them.
#pragma once

#include <cstdio>
#include <string>

namespace files {

// False when the file at `path` is gone or is another file than the open `f` (deleted or
// renamed away, as a log rotation does).
bool StillNamed(std::FILE* f, const std::string& path);

// Renames `from` over `to` in one step, so that a reader of `to` sees the old file or the
// new one, never a part. False with the reason in `error`.
bool RenameOver(const std::string& from, const std::string& to, std::string& error);

}  // namespace files
