#include "EditorSettings.h"

namespace EditorSettings {
QSettings open() {
    return QSettings(QStringLiteral("Brindlewood"), QStringLiteral("brindlewood-feed-editor"));
}
} // namespace EditorSettings
