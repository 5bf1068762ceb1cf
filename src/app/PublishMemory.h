#pragma once

#include "dialogs/PublishChoices.h"

#include <QString>

// Where each feed file was last published, kept in the editor's settings so
// that the dialog opens filled in. Never the secret: that is the keyring's.
namespace PublishMemory {
PublishChoices recall(const QString &feedPath);
void remember(const QString &feedPath, const PublishChoices &choices);
} // namespace PublishMemory
