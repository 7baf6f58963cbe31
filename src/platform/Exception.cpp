#include "platform/Exception.h"

#include <QString>

namespace vosta {

Exception Exception::Formatted(const std::string& pattern, const std::string& value) {
  return Exception(
      pattern, QString::fromStdString(pattern).arg(QString::fromStdString(value)).toStdString());
}

Exception Exception::Formatted(const std::string& pattern, std::int64_t value) {
  return Exception(pattern, QString::fromStdString(pattern).arg(qint64{value}).toStdString());
}

}  // namespace vosta
