#include "ChannelField.h"

namespace ChannelField {
QString caption(int index) {
    static const char *const captions[Count] = {
        "Title:",  "Link:",    "Language:", "Copyright:",  "Description:", "Subtitle:",
        "Author:", "Summary:", "Category:", "Owner Name:", "Owner Email:", "Image Link:",
    };
    return index >= 0 && index < Count ? QString::fromLatin1(captions[index]) : QString();
}
} // namespace ChannelField
