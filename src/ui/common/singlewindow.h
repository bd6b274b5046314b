// One window of a kind for the whole program: made on first use with the
// given parent (it goes with its parent) and forgotten when it is destroyed.
#pragma once

#include <QObject>

class QWidget;

namespace corvane::ui {

template <typename T> T *SingleWindow(T *&Instance, QWidget *Parent) {
    if (!Instance) {
        Instance = new T(Parent);
        QObject::connect(Instance, &QObject::destroyed, [&Instance] { Instance = nullptr; });
    }
    return Instance;
}

} // namespace corvane::ui
