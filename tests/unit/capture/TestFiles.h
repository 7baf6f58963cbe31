#pragma once

#include <QDir>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include "platform/Exception.h"
#include "support/MessageOf.h"

namespace vosta::testing {

// The whole content of a file; empty when it cannot be read.
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every name in the folder, hidden ones included, so a left-over temporary file shows.
inline std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  const QDir dir(QString::fromStdString(folder));
  for (const QString& name :
       dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
    names.insert(name.toStdString());
  }
  return names;
}

}  // namespace vosta::testing
