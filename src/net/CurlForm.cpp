#include "net/CurlForm.h"

#include "net/CurlInterfaces.h"

namespace corvane {

void TCurlField::CheckUnlocked() const {
    if (fIsLocked)
        throw ECurlInternal("[TCurlField.Add] Cannot add to locked field, create another!");
}

TCurlField &TCurlField::Name(const QByteArray &AName) {
    CheckUnlocked();
    fName = AName;
    ++fNameCount;
    return *this;
}

TCurlField &TCurlField::Content(const QString &Text) {
    return ContentRaw(Text.toUtf8());
}

TCurlField &TCurlField::ContentRaw(const QByteArray &Bytes) {
    CheckUnlocked();
    fContent = Bytes;
    ++fContentCount;
    return *this;
}

TCurlForm &TCurlForm::Add(const ICurlField &Field) {
    if (!Field) throw ECurlInternal("Nil as an option");
    Field->fIsLocked = true;
    // The checks curl_formadd makes on an option set.
    if (Field->fNameCount > 1 || Field->fContentCount > 1)
        throw ECurlInternal("An option is mentioned twice");
    if (Field->fNameCount == 0) throw ECurlInternal("Incomplete option set");
    fFields.push_back(Field);
    return *this;
}

} // namespace corvane
