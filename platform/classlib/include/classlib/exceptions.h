// The class library's error classes. Qt-free.
#pragma once

#include <stdexcept>
#include <string>
#include <typeinfo>

namespace classlib {

// Base of the errors the class library raises; what() is the message shown
// to the user.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An edit control's validation error: the input does not fit the field.
class EDBEditError : public Exception {
 public:
  using Exception::Exception;
};

// The unqualified class name of a type ("EDBEditError" for
// classlib::EDBEditError), demangled. Used for error classes in messages and
// for naming stored layouts after their form class.
std::string ClassNameOf(const std::type_info& type);

}  // namespace classlib
