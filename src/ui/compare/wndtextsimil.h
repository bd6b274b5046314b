// The free-text similarity window: two panes compared with the measure of a
// batch check.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QSplitter;
class QTextEdit;
class QGroupBox;

namespace corvane::ui {

class TfmShowTextSimil : public QDialog {
public:
    explicit TfmShowTextSimil(QWidget *parent = nullptr);

    // The window of this run, created on first use and never destroyed
    // before the end of the program; parent is used only to create it.
    static TfmShowTextSimil *instance(QWidget *parent = nullptr);
    // Captures the shingle length and the stop-word flag, resets the result
    // to 0 and shows the window modally; returns when it is closed.
    static void Open(int ShingleLength, bool IgnoreStopWords, QWidget *parent = nullptr);

    // Everything Open does before showing the window.
    void prepare(int ShingleLength, bool IgnoreStopWords);
    // Sets every text through the translation catalog.
    void retranslateUi();
    // "Сравнить".
    void btCalcSimilClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeBottomBar();

    QGroupBox *gbText1, *gbText2;
    QTextEdit *edText1, *edText2;
    QSplitter *splitter;
    QWidget *bottomBar;
    QPushButton *btCalcSimil;
    QLineEdit *edSimilValue;
};

} // namespace corvane::ui
