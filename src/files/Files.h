// The small operations whose form differs by platform: whether a path still names an
// open file, replacing a file in one step, and the user's login name. Each platform
// folder defines them.
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

// The name of the user who runs the program (as the audit trail records it), in UTF-8.
std::string LoginName();

}  // namespace files
