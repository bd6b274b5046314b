// Loads the news page in the background; silent on any failure.
#pragma once

#include <atomic>

#include <QObject>
#include <QString>
#include <QThread>

namespace corvane::ui {

class TNewsFetch : public QThread {
    Q_OBJECT
public:
    explicit TNewsFetch(const QString &Url, QObject *Parent = nullptr);
    ~TNewsFetch() override; // stops the transfer and waits for the thread

    void Stop() { FStop = true; }

signals:
    // Emitted (queued to the receiver's thread) only when a 200 page arrived.
    void Loaded(const QString &Html, const QString &Url);

protected:
    void run() override;

private:
    QString FUrl;
    std::atomic<bool> FStop{false};
};

} // namespace corvane::ui
