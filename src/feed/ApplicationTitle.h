#pragma once

#include <QString>

namespace ApplicationTitle {
inline constexpr char ProductTitle[] = "Brindlewood Feed Editor Tool";
inline constexpr int MaximumLength = 40;

// Cuts at the last blank at least once, then again while longer than 40.
QString derive(const QString &productTitle);

// The process-wide title every message box without a caption of its own uses.
QString current();
} // namespace ApplicationTitle

// Derives the application title from the product title and stores it.
void SetApplicationTitle();
