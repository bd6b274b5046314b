// Shared helpers of the window tests: a throw-away program folder and a
// window that runs in it.
#pragma once

#include <functional>
#include <memory>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "common/TestDialogs.h"
#include "core/appdir.h"
#include "ui/main/mainwnd.h"

namespace corvane::test {

using ui::TfmMain;

// A program folder: the catalogs and release notes of the build folder linked
// in, the settings file written and read by the test.
class TAppFolder {
public:
    TAppFolder() {
        for (const char *Name : {"locale", "NEWS"})
            QFile::link(QStringLiteral(CORVANE_APPDIR "/") + QLatin1String(Name),
                        Dir.filePath(QLatin1String(Name)));
        SetAppDir(Dir.path());
    }
    QString Ini() const { return Dir.filePath(QStringLiteral("Corvane.ini")); }
    void WriteIni(const QByteArray &Text) const {
        QFile F(Ini());
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(Text);
    }
    QByteArray ReadIni() const {
        QFile F(Ini());
        return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir Dir;
};

// Opens the main window the way the program does, on a system whose locale id is Lcid.
// Deletes the window and what it left for deferred deletion.
struct TWindowDeleter {
    void operator()(TfmMain *W) const {
        delete W;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};
using TWindow = std::unique_ptr<TfmMain, TWindowDeleter>;

// Runs the event loop until Done holds or Ms milliseconds have passed.
inline bool WaitUntil(const std::function<bool()> &Done, int Ms) {
    QDeadlineTimer Deadline(Ms);
    while (!Done() && !Deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
}

// Runs the event loop until the window's check has ended (and the lines it
// posted at its end are in), or Seconds have passed.
inline bool WaitForEnd(TfmMain *W, int Seconds = 60) {
    WaitUntil([W] { return !W->RunController()->Running(); }, Seconds * 1000);
    QCoreApplication::processEvents();
    return !W->RunController()->Running();
}

// Message boxes go to a ui::TestDialogs the test installs.
inline TWindow OpenWindow(unsigned Lcid) {
    TWindow W(new TfmMain);
    W->SetSystemLCID(Lcid);
    W->SetNewsEnabled(false);
    W->show();
    QCoreApplication::processEvents();
    return W;
}

// A task as a finished check leaves it.
inline void AddCheckedTask(TURLTaskInfoList &List, TURLTaskResult Result, int ErrorCode,
                           double Uniqueness) {
    auto *T = new TURLTaskInfo(QStringLiteral("http://127.0.0.1/page%1").arg(List.size() + 1),
                               std::int32_t(List.size() + 1));
    T->InitResults();
    T->TaskResults->TaskResult = Result;
    T->TaskResults->ErrorCode = ErrorCode;
    T->TaskResults->Uniqueness = Uniqueness;
    List.append(T);
}

template <class T> T *Find(QWidget *W, const char *Name) {
    T *C = W->findChild<T *>(QLatin1String(Name));
    EXPECT_NE(C, nullptr) << Name;
    return C;
}

} // namespace corvane::test
