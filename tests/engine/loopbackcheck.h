// A check of a task list against a loopback site, run to its end.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include "engine/runcontroller.h"

namespace corvane::test {

// One task per path of the site, numbered from 1.
template <typename Site>
void addPaths(TURLTaskInfoList &list, const Site &site, std::initializer_list<const char *> paths) {
    for (const char *path : paths)
        list.append(new TURLTaskInfo(site.Url(path), std::int32_t(list.size() + 1)));
}

// Checks every task with the local extraction and no delay; true once the
// check has ended (within Ms).
inline bool checkToEnd(TRunController &c, int Ms = 20000) {
    TRunSettings s;
    s.Delay = 0;
    s.AlgVer = 2;
    c.SetSettings(s);
    if (!c.Run(rvAll)) return false;
    QElapsedTimer t;
    t.start();
    while (c.Running() && t.elapsed() < Ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !c.Running();
}

} // namespace corvane::test
