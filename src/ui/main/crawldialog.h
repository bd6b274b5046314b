// The dialog of "Сканировать сайт...": the start address, the page limit and
// the crawl's options. It never runs a loop of its own: the window opens it
// with open() and starts the crawl when it is accepted.
#pragma once

#include <QDialog>

#include "engine/crawl.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace corvane::ui {

class TfmCrawlSite : public QDialog {
    Q_OBJECT
public:
    // Shows Options; translated in the current language.
    explicit TfmCrawlSite(const TCrawlOptions &Options, QWidget *Parent = nullptr);

    TCrawlOptions Options() const;
    // "Начать": a start address that is no site's keeps the dialog open with a warning.
    void btCrawlStartClick();

private:
    QLineEdit *edCrawlURL;
    QSpinBox *edCrawlMaxPages;
    QCheckBox *cbCrawlSubdomains;
    QCheckBox *cbCrawlFollowNoFollow;
    QCheckBox *cbCrawlIgnoreRobots;
    QCheckBox *cbCrawlSitemaps;
    QLineEdit *edCrawlDropParams;
    QPushButton *btCrawlStart;
    QPushButton *btCrawlCancel;
};

} // namespace corvane::ui
