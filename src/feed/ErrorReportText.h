#pragma once

#include <QString>

namespace ErrorReportText {
// The report's text: description, CR LF, location, "at line ", step, CR CR,
// and the request to mail a screenshot to the support address.
QString compose(const QString &description, const QString &location, int step);
QString supportEmail();
inline constexpr char Caption[] = "Application Error";
} // namespace ErrorReportText
