#include "services/com/comerror.h"

namespace torvel {

ComError::ComError(int32_t number, QString source, QString description)
    : m_number(number)
    , m_source(std::move(source))
    , m_description(std::move(description))
    // what() is for logs and test output; the boxes use description().
    , m_what(QString(QString::number(number) + QStringLiteral(" (") + m_source + QStringLiteral("): ")
                     + m_description).toStdString())
{
}

} // namespace torvel
