#pragma once

#include <QString>

#include <exception>
#include <string>

// The one failure type of the program. Every run-time failure (a missing
// file, a line that is not a date, a 16-bit overflow, an index past the end
// of a field list) travels as this exception and carries a plain description
// that names what failed, with no final full stop.
class RuntimeError : public std::exception {
public:
    explicit RuntimeError(QString description);

    const QString &description() const noexcept { return description_; }
    const char *what() const noexcept override { return utf8_.c_str(); }

private:
    QString description_;
    std::string utf8_;
};
