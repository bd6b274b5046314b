// Multipart forms for the transfer layer: a form is a list of fields, each
// one form-data part with a name and content bytes (no file name, no content
// type). The transfer object turns the form into a libcurl MIME post.
#pragma once

#include <memory>
#include <vector>

#include <QByteArray>
#include <QString>

namespace corvane {

class TCurlField {
public:
    TCurlField &Name(const QByteArray &AName);
    TCurlField &Content(const QString &Text); // sent as UTF-8
    TCurlField &ContentRaw(const QByteArray &Bytes);
    bool IsLocked() const { return fIsLocked; }
    const QByteArray &FieldName() const { return fName; }
    const QByteArray &FieldContent() const { return fContent; }

private:
    friend class TCurlForm;
    void CheckUnlocked() const;

    QByteArray fName, fContent;
    int fNameCount = 0, fContentCount = 0;
    bool fIsLocked = false;
};
using ICurlField = std::shared_ptr<TCurlField>;

class TCurlForm {
public:
    // Locks the field (it may not change afterwards) and appends it.
    TCurlForm &Add(const ICurlField &Field);
    const std::vector<ICurlField> &Fields() const { return fFields; }

private:
    std::vector<ICurlField> fFields;
};
using ICurlForm = std::shared_ptr<TCurlForm>;

inline ICurlField NewCurlField() {
    return std::make_shared<TCurlField>();
}
inline ICurlForm NewCurlForm() {
    return std::make_shared<TCurlForm>();
}

} // namespace corvane
