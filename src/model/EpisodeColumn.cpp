#include "EpisodeColumn.h"

namespace EpisodeColumn {
QString header(int column) {
    static const char *const headers[Count] = {
        "Title", "Author",    "Subtitle", "Summary",  "URL",      "Type",     "Length",
        "GUID",  "Pub. Date", "Duration", "Keywords", "Explicit", "Category",
    };
    return column >= 0 && column < Count ? QString::fromLatin1(headers[column]) : QString();
}
} // namespace EpisodeColumn
