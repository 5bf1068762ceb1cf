#pragma once

#include <QString>

// Location texts of the guarded handlers, as the error report shows them
// (each ends in one blank).
namespace Locations {
inline QString text(const char *window, const char *handler) {
    return QStringLiteral("in Fernhollow2021/08/31.") + QLatin1StringView(window) + u'.' +
           QLatin1StringView(handler) + u' ';
}
inline QString form1(const char *handler) {
    return text("Form1", handler);
}
inline QString form2(const char *handler) {
    return text("Form2", handler);
}
} // namespace Locations
