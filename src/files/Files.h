// The file operations of every program: writing a whole file, and the small operations
// whose form differs by platform (each platform folder defines those): whether a path still
// names an open file, replacing a file in one step, seeking in a large file, whether a
// stream is a terminal, and the user's login name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// False when the file at `path` is gone or is another file than the open `f` (deleted or
// renamed away, as a log rotation does).
bool StillNamed(std::FILE* f, const std::string& path);

// Opens `path` to read and to append to ("a+b"), made when missing, in a way that lets
// another program rename or delete it while it is open (as a log rotation does); null with
// the reason in `error`.
std::FILE* OpenAppend(const std::string& path, std::string& error);

// Renames `from` over `to` in one step, so that a reader of `to` sees the old file or the
// new one, never a part. False with the reason in `error`.
bool RenameOver(const std::string& from, const std::string& to, std::string& error);

// Moves `f` to byte `at` of its file, and the size of the file of `f`: beyond 2 GB too,
// where a long is 32 bits (Windows).
bool SeekTo(std::FILE* f, std::uint64_t at);
std::uint64_t SizeOf(std::FILE* f);

// Writes a whole file (a chart, a report, the metrics); false with the reason (the
// system's words, such as "No space left on device") in `why`.
bool WriteAll(const std::string& path, std::string_view bytes, std::string& why);
// The same into a file that does not exist yet, made for its owner and group to read: in a
// folder others write in too, a name they made (a link to another file) is refused, never
// followed.
bool WriteNew(const std::string& path, std::string_view bytes, std::string& why);

// Whether two paths name one file (by identity: a link or another spelling of the path
// is the same file); false when either does not exist.
bool SameFile(const std::string& a, const std::string& b);

// Why these outputs may not be written, if one of them is an input or two are one file
// (so that an output never destroys what the program reads); nothing when all is well.
std::optional<std::string> OutputClash(const std::vector<std::string>& outputs,
                                       const std::vector<std::string>& inputs);

// Whether `f` writes to a terminal (or a console), where a person watches it.
bool IsTerminal(std::FILE* f);

// The name of the user who runs the program (as the audit trail records it), in UTF-8.
std::string LoginName();

// Where the rooms' services keep what they share with the users of the machine (the
// acknowledgements' folders): /run/climon, or %ProgramData%\climon on Windows.
std::string ServicesFolder();

// The name of the user who owns the file at `path` (who made it), as the system knows
// it: what a file left in a folder says of who left it. Empty when it cannot be told.
std::string OwnerOf(const std::string& path);

}  // namespace files
