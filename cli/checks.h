// Checks made on the command line before anything runs: names, sizes and device paths.
#ifndef ROZ_CHECKS_H
#define ROZ_CHECKS_H

#include <QString>

#include <optional>

namespace roz {

// A size the user asked for, in whole MiB; `relative` when it was written with a leading "+".
struct RequestedSize {
    qint64 mib = 0;
    bool relative = false;
};

// "100", "100M", "100MiB", "2G", "1.5g", "512K" (a bare number is MiB). The result must be a
// whole, positive number of MiB that fits an int. With `allowRelative`, "+50M" means "50 MiB more".
// On failure returns nothing and sets `error` to a sentence saying why.
std::optional<RequestedSize> parseSize(const QString& text, bool allowRelative, QString* error);

// An extent size: a power of two of at least 1 MiB (the library keeps extent sizes in whole MiB).
std::optional<qint64> parseExtentSize(const QString& text, QString* error);

// A whole number from 0 up, such as a group's volume limit.
std::optional<int> parseCount(const QString& text, QString* error);

// A group or volume name: not empty, not starting with "-" (the tool would take it for an option),
// and only characters QuorVerifyCN allows. `what` names it in the message ("group name").
bool checkName(const QString& name, const QString& what, QString* error);

// "sdb1" or "/dev/sdb1" → "/dev/sdb1"; each part of the path must be a name QuorVerifyCN allows.
std::optional<QString> devicePath(const QString& text, QString* error);

// "vg0/home" or "/dev/vg0/home" → (vg0, home), both names checked.
bool splitVolume(const QString& text, QString* group, QString* volume, QString* error);

} // namespace roz

#endif
