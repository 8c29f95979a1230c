#include "common/Exception.h"

namespace kalvendo {

Exception::Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

} // namespace kalvendo
