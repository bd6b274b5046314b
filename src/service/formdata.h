// A multipart/form-data body (RFC 7578), read whole: the parts are found in
// place, nothing is copied.
#pragma once

#include <string_view>

namespace corvane {

// Whether ContentType is "multipart/form-data"; its boundary parameter (quoted
// or not) in Boundary, empty when it names none.
bool IsFormData(std::string_view ContentType, std::string_view *Boundary);

enum class TFormField { Found, Missing, Malformed };

// The content of the first part named Field. Malformed: the body does not
// open with the boundary, a part has no form-data Content-Disposition, or
// the closing boundary is missing.
TFormField FindFormField(std::string_view Body, std::string_view Boundary, std::string_view Field,
                         std::string_view *Content);

} // namespace corvane
