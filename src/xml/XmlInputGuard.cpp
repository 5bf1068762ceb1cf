#include "XmlInputGuard.h"

#include <cstring>

bool XmlInputGuard::scan(QByteArrayView chunk) {
    const char *p = chunk.data();
    const char *const end = p + chunk.size();
    while (p < end) {
        switch (m_state) {
        case State::Text: {
            const void *open = std::memchr(p, '<', size_t(end - p));
            if (!open)
                return true;
            p = static_cast<const char *>(open) + 1;
            m_state = State::TagStart;
            break;
        }
        case State::TagStart:
            // Comments, CDATA, declarations and processing instructions hold
            // no attributes.
            m_state = (*p == '!' || *p == '?') ? State::Declaration : State::Tag;
            m_equals = 0;
            break;
        case State::Declaration: {
            const void *close = std::memchr(p, '>', size_t(end - p));
            if (!close)
                return true;
            p = static_cast<const char *>(close) + 1;
            m_state = State::Text;
            break;
        }
        case State::Tag:
            for (; p < end; ++p) {
                if (*p == '>') {
                    ++p;
                    m_state = State::Text;
                    break;
                }
                if (*p == '=' && ++m_equals > MaxAttributes) {
                    m_reason =
                        QStringLiteral("An element has more than %1 attributes").arg(MaxAttributes);
                    return false;
                }
            }
            break;
        }
    }
    return true;
}
