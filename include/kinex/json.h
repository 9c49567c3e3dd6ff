// A JSON document of kinex's outputs handed over value by value, for a
// caller that builds its own objects from it (a language binding) without
// a JSON library: the document's values in document order, an object's
// members in the order the document lists them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kinex {

// Receives the values of one document. A member of an object comes as
// key() then its value; an array's items and an object's members lie
// between their begin and end calls, begin_array() telling how many items
// follow. Texts are the document's bytes as
// they are (UTF-8 where the inputs were; not escaped).
class JsonVisitor {
 public:
  virtual ~JsonVisitor() = default;
  virtual void null() = 0;
  virtual void boolean(bool value) = 0;
  virtual void integer(int64_t value) = 0;
  virtual void unsigned_integer(uint64_t value) = 0;
  virtual void real(double value) = 0;
  virtual void text(const std::string& value) = 0;
  virtual void begin_array(std::size_t items) = 0;
  virtual void end_array() = 0;
  virtual void begin_object() = 0;
  virtual void key(const std::string& name) = 0;
  virtual void end_object() = 0;
};

}  // namespace kinex
