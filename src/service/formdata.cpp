#include "service/formdata.h"

#include <string>

namespace corvane {

namespace {

constexpr std::string_view Crlf = "\r\n";

bool EqualsNoCase(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (size_t i = 0; i < A.size(); ++i) {
        char a = A[i], b = B[i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

std::string_view Trim(std::string_view S) {
    while (!S.empty() && (S.front() == ' ' || S.front() == '\t')) S.remove_prefix(1);
    while (!S.empty() && (S.back() == ' ' || S.back() == '\t')) S.remove_suffix(1);
    return S;
}

// Cuts the next ';'-separated item off S; a ';' inside quotes does not count.
std::string_view NextItem(std::string_view &S) {
    bool quoted = false;
    size_t i = 0;
    for (; i < S.size(); ++i) {
        if (S[i] == '"')
            quoted = !quoted;
        else if (S[i] == '\\' && quoted)
            ++i;
        else if (S[i] == ';' && !quoted)
            break;
    }
    const std::string_view item = S.substr(0, std::min(i, S.size()));
    S.remove_prefix(std::min(i + 1, S.size()));
    return Trim(item);
}

// The value of the parameter Name among the ';'-separated Params, unquoted
// (a quoted value keeps its backslash escapes; names and boundaries hold none).
bool Parameter(std::string_view Params, std::string_view Name, std::string_view *Value) {
    while (!Params.empty()) {
        const std::string_view item = NextItem(Params);
        const size_t eq = item.find('=');
        if (eq == std::string_view::npos || !EqualsNoCase(Trim(item.substr(0, eq)), Name)) continue;
        std::string_view v = Trim(item.substr(eq + 1));
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        *Value = v;
        return true;
    }
    return false;
}

// The field name of a part from its header block; false when it has no
// "Content-Disposition: form-data" line.
bool PartName(std::string_view Headers, std::string_view *Name) {
    while (!Headers.empty()) {
        const size_t end = Headers.find(Crlf);
        const std::string_view line = Headers.substr(0, end);
        Headers.remove_prefix(end == std::string_view::npos ? Headers.size() : end + 2);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos ||
            !EqualsNoCase(Trim(line.substr(0, colon)), "Content-Disposition"))
            continue;
        std::string_view value = line.substr(colon + 1);
        if (!EqualsNoCase(NextItem(value), "form-data")) return false;
        *Name = {};
        Parameter(value, "name", Name);
        return true;
    }
    return false;
}

} // namespace

bool IsFormData(std::string_view ContentType, std::string_view *Boundary) {
    *Boundary = {};
    if (!EqualsNoCase(NextItem(ContentType), "multipart/form-data")) return false;
    if (!Parameter(ContentType, "boundary", Boundary) || Boundary->size() > 200) *Boundary = {};
    return true;
}

TFormField FindFormField(std::string_view Body, std::string_view Boundary, std::string_view Field,
                         std::string_view *Content) {
    if (Boundary.empty()) return TFormField::Malformed;
    const std::string delimiter = "\r\n--" + std::string(Boundary);
    const std::string_view dashBoundary = std::string_view(delimiter).substr(2);
    // The first boundary opens the body or follows a preamble.
    size_t pos = 0;
    if (Body.substr(0, dashBoundary.size()) != dashBoundary) {
        pos = Body.find(delimiter);
        if (pos == std::string_view::npos) return TFormField::Malformed;
        pos += 2;
    }
    bool found = false;
    for (;;) {
        pos += dashBoundary.size();
        if (Body.substr(pos, 2) == "--") break; // the closing boundary
        while (pos < Body.size() && (Body[pos] == ' ' || Body[pos] == '\t')) ++pos;
        if (Body.substr(pos, 2) != Crlf) return TFormField::Malformed;
        pos += 2;
        size_t headersEnd = pos, contentStart = pos + 2;
        if (Body.substr(pos, 2) != Crlf) {
            headersEnd = Body.find("\r\n\r\n", pos);
            if (headersEnd == std::string_view::npos) return TFormField::Malformed;
            contentStart = headersEnd + 4;
        }
        std::string_view name;
        if (!PartName(Body.substr(pos, headersEnd - pos), &name)) return TFormField::Malformed;
        const size_t next = Body.find(delimiter, contentStart);
        if (next == std::string_view::npos) return TFormField::Malformed;
        if (!found && name == Field) {
            *Content = Body.substr(contentStart, next - contentStart);
            found = true;
        }
        pos = next + 2;
    }
    return found ? TFormField::Found : TFormField::Missing;
}

} // namespace corvane
