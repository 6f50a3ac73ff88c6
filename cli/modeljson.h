// The model as JSON for scripts and GUIs in other languages; the schema is described in
// cli/README.md and its "schema" number changes whenever a key changes meaning or goes away.
#ifndef ROZ_MODELJSON_H
#define ROZ_MODELJSON_H

#include "modelview.h"

#include <QJsonObject>

namespace roz {

inline constexpr int jsonSchemaVersion = 1;

// `root` is the simulated root the model was read from, empty for the real machine.
QJsonObject jsonOf(const ModelView& model, const QString& root);

} // namespace roz

#endif
