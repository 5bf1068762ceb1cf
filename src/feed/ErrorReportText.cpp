#include "ErrorReportText.h"

#include "BuildConfig.h"

namespace ErrorReportText {
QString supportEmail() {
    return QString::fromUtf8(BuildConfig::SupportEmail);
}

QString compose(const QString &description, const QString &location, int step) {
    return description + QLatin1StringView("\r\n") + location + QLatin1StringView("at line ") +
           QString::number(step) + QLatin1StringView("\r\r") +
           QLatin1StringView("Please email screenshot of this message to ") + supportEmail();
}
} // namespace ErrorReportText
