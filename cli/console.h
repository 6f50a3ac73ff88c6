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
    OperationFailed = 1, // the tool ran and failed, or the change was only partly made
    Refused = 2,         // bad arguments, names, sizes or objects: nothing ran
    CannotStart = 3      // no place to work on: no root privileges, or no simulated root
};

} // namespace roz

#endif
