// Handing a document of kinex's outputs to a JsonVisitor (kinex/json.h).
#pragma once

#include <kinex/json.h>

#include "outputs/json_output.h"

namespace kinex::features {

// Every value of `doc` to `to`, in document order. A value of no JSON type
// (binary, discarded) comes as null.
void visit_json(const Json& doc, JsonVisitor& to);

}  // namespace kinex::features
