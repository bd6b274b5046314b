// The desktop's "open" action for web addresses and local files.
#pragma once

class QUrl;
class QWidget;

namespace corvane::ui {

// Opens Url with the desktop's browser or the program associated with it;
// says so in a message box when nothing could open it. False then.
bool OpenWithDesktop(QWidget *Parent, const QUrl &Url);

} // namespace corvane::ui
