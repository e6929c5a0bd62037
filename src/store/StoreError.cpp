#include "store/StoreError.h"

namespace sorvane::store {

StoreError::StoreError(Kind kind, int number, const QString& message)
    : std::runtime_error(message.toStdString()), kind_(kind), number_(number), message_(message) {}

}  // namespace sorvane::store
