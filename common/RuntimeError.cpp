#include "RuntimeError.h"

RuntimeError::RuntimeError(QString description)
    : description_(std::move(description)), utf8_(description_.toStdString())
{
}
