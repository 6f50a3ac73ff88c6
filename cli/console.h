// Writing to the terminal: results on standard output, progress and complaints on standard error.
#ifndef ROZ_CONSOLE_H
#define ROZ_CONSOLE_H

#include <QString>

namespace roz {

// Writes `text` as it stands (add the newline yourself) and flushes, so that it interleaves
// correctly with what the tools print.
void say(const QString& text);
// Writes "roz: " + `text` + newline to standard error.
void complain(const QString& text);
// Writes `text` + newline to standard error: progress lines such as "running: ...".
void note(const QString& text);

// Exit codes of roz.
enum ExitCode {
    Success = 0,
    OperationFailed = 1, // a tool ran and failed (an earlier step of the change may have been made)
    Refused = 2,         // bad arguments, names, sizes or objects: nothing ran
    CannotStart = 3,     // no place to work on: no root privileges, no usable simulated root, or setuid
    PartlyDone = 4,      // the volume changed, but no file-system tool could run for its file system
    Incomplete = 5       // the machine could not be read completely: what is shown may lack objects
};

} // namespace roz

#endif
